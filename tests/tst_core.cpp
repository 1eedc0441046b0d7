// The core rules as example tables: dates, money texts, records, the typed-field rule, Step
// and Pay lines, entry rows. Each row is named by the call it makes: "rule;argument;...".
#include "budget/entryrows.h"
#include "core/conflicts.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "core/record.h"
#include "core/text.h"

#include <QtTest>

using namespace kestrow;

namespace {

template <class T, class F> QString Shown(const std::optional<T>& value, F show)
{
    return value ? show(*value) : QString("refused");
}
QString Text(const std::string& text)
{
    return text.empty() ? QString("refused") : QString::fromStdString(text);
}

// The call a row is named by, its result as text; today is 2026-06-15 unless given third.
QString Apply(const QString& call)
{
    const QStringList a = call.split(';');
    const std::string x = a[1].toStdString(), y = a.value(2).toStdString();
    const std::string today = a.value(3, "2026-06-15").toStdString();
    const auto number = [](auto n) { return QString::number(n); };
    if (a[0] == "normalize")
        return Text(NormalizeDate(x));
    if (a[0] == "step")
        return Text(StepDate(x, std::stoi(y), today));
    if (a[0] == "shown")
        return Text(ShownDate(x, y, today));
    if (a[0] == "istoday") // a today the computation can use
        return IsTodayDate(x) ? "yes" : "refused";
    if (a[0] == "accept") // a date as the record forms and kestrow-report's --today take it
        return Text(AcceptableDate(x));
    if (a[0] == "year")
        return FourDigitYear(x) ? "yes" : "refused";
    if (a[0] == "digits") // "_" for a blank
        return Shown(DigitsValue(QString(a[1]).replace('_', ' ').toStdString(), std::stol(y)),
                     number);
    if (a[0] == "utf8") // stored bytes as the windows, exports and report show them
        return Text(StoredAsUtf8(x));
    if (a[0] == "key")
        return Shown(DateKey(x), number);
    if (a[0] == "today")
        return Shown(TodayFromSystemText(x),
                     [number](auto t) { return Text(t.date) + " " + number(t.month); });
    if (a[0] == "paid")
        return Shown(PaidDate(x, std::stoll(y)), Text);
    if (a[0] == "stepped")
        return Shown(SteppedLine(x), Text);
    if (a[0] == "terms")
        return Shown(PayTermsOf(x, today), [](auto t) {
            return QStringLiteral("%1 %2 %3").arg(t.months).arg(t.amount).arg(Text(t.newDate));
        });
    if (a[0] == "money") { // the amount written (read back), the figure, dollars, the dialog's
        double value = 0;
        for (const QString& part : a[1].split('+'))
            value += part.toDouble();
        const std::string written = FormatAmount(*ParseAmount(FormatAmount(value)));
        return Text(written + (FormatFigure(value) == written + " " ? "" : "?") + " " +
                    FormatDollars(value) + " " + FormatDialogAmount(value));
    }
    if (a[0] == "amount")
        return Shown(ParseAmount(x), number);
    if (a[0] == "whole")
        return Shown(ParseWhole(x), number);
    if (a[0] == "typed") { // the first fault and its field; "/" for a separator in a field
        std::array<std::string, kFieldCount> typed;
        for (int i = 0; i < kFieldCount; ++i)
            typed[i] = a[1].section('|', i, i).replace('/', '|').toStdString();
        const FieldCheck check = CheckTypedFields(typed, today);
        const char* const faults[] = {"ok",   "empty",  "separator", "line break",
                                      "date", "amount", "duration"};
        return check ? "ok"
                     : QStringLiteral("%1 %2").arg(faults[int(check.fault)]).arg(check.field);
    }
    if (a[0] == "conflict") { // the tool that left a name beside a data file of that name
        const SyncTool tool = ConflictCopyOf(y, x);
        return Text(tool == SyncTool::None ? std::string() : SyncToolName(tool));
    }
    if (a[0] == "compare") { // lines apart by "/", the data file's then the copy's
        const LineComparison c = CompareLines(QString(a[1]).replace('/', '\n').toStdString(),
                                              QString(a[2]).replace('/', "\r\n").toStdString());
        QStringList differing;
        for (const auto& [ours, theirs] : c.differing)
            differing << QString::fromStdString(ours + "~" + theirs);
        const auto joined = [](const std::vector<std::string>& lines) {
            QStringList texts;
            for (const std::string& line : lines)
                texts << QString::fromStdString(line);
            return texts.join(',');
        };
        return "copy " + joined(c.onlyInCopy) + "; data " + joined(c.onlyInData) + "; differ " +
               differing.join(',') + "; merge " + joined(PaymentsToMerge(c));
    }
    if (a[0] == "row") // the entry list's row for a line in an order
        return Text(EntryRows({x}, EntryOrder(std::stoi(y)), today).at(0).text);
    return Shown(ParseRecord(x, 7),
                 [number](auto r) { return number(r.amount) + " " + number(r.duration); });
}

void R(const char* call, const char* result = "refused")
{
    QTest::newRow(call) << QString(result);
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("result");
        R("normalize;26-13-045", "26-13-45"); // the year as typed, no range checked
        R("accept;2026-3-1", "2026-03-01");
        R("accept;2026-02-30", "2026-02-30"); // the day is cut when the date moves on
        R("year;0999-3-1", "yes");
        R("digits;0032767;32767", "32767");
        R("step;2025-03-01;1", "2026-06-01"); // monthly, from last year
        R("step;2025-05-31;3", "2026-08-31"); // the quarterly rhythm kept
        R("step;2026-3-5;2", "2026-07-5");    // the day as written
        R("step;2026-02-01;3;2026-12-05", "2027-02-01");
        R("step;2026-01-31;1;2026-02-10", "2026-02-28"); // cut to a short month
        R("step;2025-03-01-x;1", "2026-06-01-x");
        R("step;0001-01-01;30000", "2501-01-01");
        R("step;0001-08-01;32756;5000-01-01", "5460-12-01"); // the largest periods, to December
        R("shown;2025-03-01;1", "2026-06-01");               // the next occurrence when later
        R("shown;2025-03-01;x", "2025-03-01");
        R("key;2026-3-1", "202631");
        R("istoday;2026-06-15", "yes");
        R("today;12-05-2026", "2026-12-05 12");
        R("paid;2026-11-20;0", "2026-11-20");
        R("paid;2026-01-31;1", "2026-02-31"); // the day as written
        R("paid;2026-11-20;2147483647", "178958997-06-20");
        R("stepped;A|S|2026-12-15|10|12", "A|S|2027-01-15|10|12");
        R("stepped;A|S|2026-5-1-x|1|3|n", "A|S|2026-06-1-x|1|3|n");
        R("terms;A|S|2025-01-01|1,234.5|12", "12 1234.5 2027-06-15");
        R("utf8;\xef\xbb\xbfRent", "\xef\xbb\xbfRent"); // UTF-8 kept whole
        R("money;1234.5", "1,234.50 $1234.50 1,234.50");
        R("money;-1234.5", "-1,234.50 -$1234.50 -1,234.50");
        R("money;-0.001", ".00 $.00 0.00");
        // Half a cent rounds away from zero as typed, though the double lies a hair off it.
        R("money;1.005", "1.01 $1.01 1.01");
        R("money;0.125", ".13 $.13 0.13");
        R("money;0.03+0.005", ".04 $.04 0.04"); // 0.0349999...
        R("money;999.995", "1,000.00 $1000.00 1,000.00");
        R("money;1e20", "100,000,000,000,000,000,000.00 $100000000000000000000.00 "
                        "100,000,000,000,000,000,000.00");
        R("amount;1,234.50", "1234.5");
        R("amount; -.50 ", "-0.5");
        R("record;Car insurance|Sub|2026-03-01|1,234.50|12", "1234.5 12");
        // The entry list cuts the type to three characters, not bytes.
        R("row;X|\xc3\x9cn\xc3\xafx|d|5|1;1", "\xc3\x9cn\xc3\xaf  X  d  5  1");
        R("record;A|B|2026-3-1|.50|1|sixth", "0.5 1");
        // The one rule both record forms apply: the first fault found, and its field.
        R("typed;Rent|Sub|2026-3-1|950|32767", "ok");
        R("typed;  |Sub|2026-3-1|950|1", "empty 0");
        R("typed;a/b|Sub||950|1", "empty 2");
        R("typed;Rent|S/b|2026-3-1|950|1", "separator 1");
        R("typed;Re\nnt|Sub|2026-3-1|950|1", "line break 0");
        R("typed;Rent|Sub|999-3-1|950|1", "date 2");
        R("typed;Rent|Sub|2026-3-1|1.2.3|1", "amount 3");
        R("typed;Rent|Sub|2026-3-1|950|32768", "duration 4");
        // Year 1 moved on by 32,767 months overflows the month count: no month shows it.
        R("typed;Rent|Sub|0001-3-1|950|32767", "duration 4");
        // Conflict copies by the three sync tools, of a data file of any name and extension.
        R("conflict;Kestrow (conflicted copy 2026-12-07 143012).txt;Kestrow.txt",
          "Nextcloud or ownCloud");
        R("conflict;my.plan.sync-conflict-20261207-143012-X.csv;my.plan.csv",
          "Syncthing"); // the shortest ID
        R("conflict;Plan (Bo's conflicted copy 2026-12-07);Plan", "Dropbox");
        R("conflict;Kestrow.sync-conflict-20261207-143012-ABCDEF1.txt.merged;Kestrow.txt");
        R("conflict;Kestrow.sync-conflict-2026127-143012-ABCDEF1.txt;Kestrow.txt");
        // By whole lines, however they end, blank ones aside; the same line twice counts
        // twice; lines sharing a name pair up; only payments are merged.
        R("compare;A|S|1-1-1|1|1/B|S|1-1-1|2|1/B|S|1-1-1|2|1/C|S|1-1-1|3|1;"
          "B|S|1-1-1|2|1/ /A|S|1-1-1|1|1/D|S|1-1-1|4|1/C|S|1-1-1|9|1/junk/A|S|1-1-1|1|1",
          "copy D|S|1-1-1|4|1,junk,A|S|1-1-1|1|1; data B|S|1-1-1|2|1; "
          "differ C|S|1-1-1|3|1~C|S|1-1-1|9|1; merge D|S|1-1-1|4|1,A|S|1-1-1|1|1");
        R("compare;A|S|1-1-1|1|1/;A|S|1-1-1|1|1", "copy ; data ; differ ; merge ");
        // Refused, each of them.
        const QString calls =
            "normalize;2026-3 normalize;2026-3-1-2 normalize;2026--1 step;2026-01-01;0 "
            "step;2026-01-01;40000 step;2026-01;1 step;abcd-01-01;1 step;2020-32000-01;32767 "
            "step;2026-01-01;1;2026 istoday;20x6-06-15 istoday;2026-06-x5 istoday;2026/06/15 "
            "istoday;2026-6-15 accept;999-3-1 accept;2026-3-1-2 accept;2026-3-32 year;999-3-1 "
            "year;12026-3-1 year;2O26-3-1 digits;32768;32767 digits;_1;9 digits;-1;9 digits;;9 "
            "key;2026-ab-01 key;99999999-12-31 key;-- today;2026-12-05 "
            "today;13-05-2026 today;12-00-2026 paid;2026-11-20;-1 "
            "paid;2026-12-20;9223372036854775807 "
            "stepped;A|S|2026-05-01|10 stepped;A|S|2026-May-01|1|1 "
            "stepped;A|S|2026-2147483647-01|1|1 terms;A|S|d|1|32768 terms;A|S|2025-01-01|5|0 "
            "amount; "
            "amount;. amount;1.2.3 amount;1e308 amount;nan amount;12abc whole;+1 whole;2147483648 "
            "record;A|B|2026-03-01|5|0 record;A|B|2026-03-01|nan|1 record;A|B|2026-03|5|1";
        for (const QString& call : calls.split(' '))
            QTest::newRow(qPrintable(call)) << "refused";
        QTest::newRow(qPrintable("amount;" + QString(400, '9'))) << "refused"; // beyond a double
        // Longer than any amount written: read whole, not from its last digits.
        QTest::newRow(qPrintable("amount;12.5" + QString(70, '0'))) << "12.5";
    }
    void rules()
    {
        QFETCH(QString, result);
        QCOMPARE(Apply(QTest::currentDataTag()), result);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
