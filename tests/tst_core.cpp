// The core rules as example tables: dates and the month arithmetic, money texts, which
// lines are records, the rule for typed fields, the Step and Pay line rules and the rows
// of the entry list. A null result is a refusal.
#include "budget/entryrows.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "core/record.h"

#include <QtTest>

using namespace kestrow;

namespace {

QString Text(const std::string& text)
{
    return text.empty() ? QString() : QString::fromStdString(text);
}
template <class T, class F> QString Shown(const std::optional<T>& value, F show)
{
    return value ? show(*value) : QString();
}

// One rule on its arguments (today is 2026-06-15 unless a third is given), as text.
QString Apply(const QString& rule, const QStringList& a)
{
    const std::string x = a.value(0).toStdString(), y = a.value(1).toStdString();
    const std::string today = a.value(2, "2026-06-15").toStdString();
    const auto number = [](auto n) { return QString::number(n); };
    if (rule == "normalize")
        return Text(NormalizeDate(x));
    if (rule == "step")
        return Text(StepDate(x, std::stoi(y), today));
    if (rule == "key")
        return Shown(DateKey(x), number);
    if (rule == "today")
        return Shown(TodayFromSystemText(x),
                     [](auto t) { return Text(t.date) + QString::number(t.month); });
    if (rule == "paid")
        return Shown(PaidDate(x, std::stoll(y)), Text);
    if (rule == "stepped")
        return Shown(SteppedLine(x), Text);
    if (rule == "terms")
        return Shown(PayTermsOf(x, today), [](auto t) {
            return QStringLiteral("%1 %2 %3").arg(t.months).arg(t.amount).arg(Text(t.newDate));
        });
    if (rule == "amount")
        return Shown(ParseAmount(x), number);
    if (rule == "whole")
        return Shown(ParseWhole(x), number);
    if (rule == "record")
        return Shown(ParseRecord(x, 7), [](auto r) {
            return QStringLiteral("%1 %2 %3").arg(r.recordNumber).arg(r.amount).arg(r.duration);
        });
    return Text(ShownDate(x, y, today)); // "shown"
}

void Columns()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("result");
}
void R(const char* name, const QStringList& args, const char* result = nullptr)
{
    QTest::newRow(name) << QString(name).section(':', 0, 0) << args << QString(result);
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void rules_data()
    {
        Columns();
        R("normalize: month and day padded", {"2026-3-1"}, "2026-03-01");
        R("normalize: year as typed, no range check", {"26-13-45"}, "26-13-45");
        R("normalize: leading zeros", {"2026-003-0007"}, "2026-03-07");
        R("step: monthly from last year", {"2025-03-01", "1"}, "2026-06-01");
        R("step: monthly this month", {"2026-06-01", "1"}, "2026-06-01");
        R("step: quarterly rhythm", {"2025-05-31", "3"}, "2026-08-31");
        R("step: half-yearly ahead", {"2026-08-15", "6"}, "2026-08-15");
        R("step: day kept as written", {"2026-3-5", "2"}, "2026-07-5");
        R("step: later year moved too", {"2027-02-01", "1"}, "2027-06-01");
        R("step: two-yearly", {"2020-07-04", "24"}, "2026-07-04");
        R("step: into next year", {"2026-02-01", "3", "2026-12-05"}, "2027-02-01");
        R("step: yearly stops at this year", {"2025-03-01", "12", "2026-12-05"}, "2026-03-01");
        R("step: february limit", {"2026-01-31", "1", "2026-02-10"}, "2026-02-28");
        R("step: thirty-day limit", {"2025-01-31", "1", "2026-04-01"}, "2026-04-30");
        R("step: further part kept", {"2025-03-01-x", "1"}, "2026-06-01-x");
        R("step: long period far back", {"0001-01-01", "30000"}, "2501-01-01");
        R("key: canonical", {"2026-03-01"}, "20260301");
        R("key: short parts", {"2026-3-1"}, "202631");
        R("today: from mm-dd-yyyy", {"12-05-2026"}, "2026-12-0512");
        R("paid: 30 months", {"2026-11-20", "30"}, "2029-05-20");
        R("paid: no months", {"2026-11-20", "0"}, "2026-11-20");
        R("paid: day kept beyond the month", {"2026-01-31", "1"}, "2026-02-31");
        R("paid: beyond 32 bits", {"2026-11-20", "2147483647"}, "178958997-06-20");
        R("stepped: into january", {"A|S|2026-12-15|10|12"}, "A|S|2027-01-15|10|12");
        R("stepped: short parts", {"A|S|26-3-31|1|1"}, "A|S|0026-04-31|1|1");
        R("stepped: more parts and fields", {"A|S|2026-5-1-x|1|3|n"}, "A|S|2026-06-1-x|1|3|n");
        R("stepped: month zero", {"A|S|2026-00-07|10|12"}, "A|S|2026-01-07|10|12");
        R("stepped: largest month", {"A|S|2026-2147483647-01|1|1"}, "A|S|178958996-08-01|1|1");
        R("terms: period, amount, date", {"A|S|2025-01-01|1,234.5|12"}, "12 1234.5 2027-06-15");
        R("amount: grouped", {"1,234.50"}, "1234.5");
        R("amount: blanks, point, sign", {" -.50 "}, "-0.5");
        R("amount: trailing point", {"7."}, "7");
        R("whole: blanks around", {" 2147483647 "}, "2147483647");
        R("record: the example", {"Car insurance|Sub|2026-03-01|1,234.50|12"}, "7 1234.5 12");
        R("record: sixth field, short parts", {"A|B|2026-3-1|.50|1|extra"}, "7 0.5 1");
        R("record: longest duration", {"A|B|2026-03-01|5|32767"}, "7 5 32767");
        R("shown: past cycle moves on", {"2025-03-01", "1"}, "2026-06-01");
        R("shown: later date stays", {"2026-08-15", "6"}, "2026-08-15");
        R("shown: duration no number", {"2025-03-01", "x"}, "2025-03-01");
        R("shown: not a date", {"soon", "1"}, "soon");
        R("shown: step beyond 16 bits", {"2020-01-01", "32767"}, "2020-01-01");
    }
    void rules()
    {
        QFETCH(QString, rule);
        QFETCH(QStringList, args);
        QFETCH(QString, result);
        QCOMPARE(Apply(rule, args), result);
    }

    void refusals_data()
    {
        Columns();
        for (const char* date : {"2026-3", "2026-3-1-2", "2026/07/01", "2026--1", "2026-99999-1"})
            QTest::addRow("normalize: %s", date) << "normalize" << QStringList{date} << QString();
        for (const char* months : {"0", "-1", "40000"})
            R(qPrintable(QStringLiteral("step: period %1").arg(months)), {"2026-01-01", months});
        R("step: two parts", {"2026-01", "1"});
        R("step: letters", {"abcd-01-01", "1"});
        R("step: year beyond 16 bits", {"99999-01-01", "1"});
        R("step: month sum beyond 16 bits", {"2020-32000-01", "32767"});
        R("step: today of one part", {"2026-01-01", "1", "2026"});
        for (const char* key : {"2026-ab-01", "99999999-12-31", "--", ""})
            QTest::addRow("key: '%s'", key) << "key" << QStringList{key} << QString();
        for (const char* today : {"2026-12-05", "13-05-2026", "12-00-2026", "12/05/2026"})
            QTest::addRow("today: %s", today) << "today" << QStringList{today} << QString();
        R("paid: negative months", {"2026-11-20", "-1"});
        R("paid: month sum overflows", {"2026-12-20", "9223372036854775807"});
        R("paid: month no number", {"2026-xx-20", "1"});
        for (const char* line :
             {"A|S|2026-05-01|10", "A|S|2026|10|12", "A|S|2026-May-01|1|1", "A|S|-05-01|10|12"})
            QTest::addRow("stepped: %s", line) << "stepped" << QStringList{line} << QString();
        for (const char* line : {"A|S|2026-05-01|10", "A|S|2026-05-01|x|1", "A|S|d|1|32768"})
            QTest::addRow("terms: %s", line) << "terms" << QStringList{line} << QString();
        for (const char* text : {"", ".", "1.2.3", "1e308", "nan", "inf", ",5", "1.2,3", "12abc"})
            QTest::addRow("amount: '%s'", text) << "amount" << QStringList{text} << QString();
        R("amount: beyond a double", {QString(400, '9')});
        for (const char* text : {"+1", "2147483648", "  ", "1 2"})
            QTest::addRow("whole: '%s'", text) << "whole" << QStringList{text} << QString();
        for (const char* line :
             {"A|B|d-1-1|5", "A|B|2026-03-01|5|0", "A|B|2026-03-01|5|-1", "A|B|2026-03-01|5|32768",
              "A|B|2026-03-01|nan|1", "A|B|2026-03-01||1", "A|B|2026-03|5|1", "A|B|2026-1-1-1|5|1",
              "A|B|--|5|1", ""})
            QTest::addRow("record: '%s'", line) << "record" << QStringList{line} << QString();
    }
    void refusals() { rules(); }

    void money_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("texts"); // amount (and figure), dollars, dialog
        const auto row = [](const char* name, double value, const char* texts) {
            QTest::newRow(name) << value << QString(texts);
        };
        row("grouped", 1234.5, "1,234.50 $1234.50 1,234.50");
        row("below one", 0.5, ".50 $.50 0.50");
        row("zero", 0.0, ".00 $.00 0.00");
        row("rounded up to a whole", 99.999, "100.00 $100.00 100.00");
        row("negative", -1234.5, "-1,234.50 -$1234.50 -1,234.50");
        row("tiny negative is zero", -0.001, ".00 $.00 0.00");
        // Half a cent rounds away from zero as typed, though the double lies a hair off it.
        row("typed half cent below", 1.005, "1.01 $1.01 1.01");
        row("eighth", 0.125, ".13 $.13 0.13");
        row("negative half cent", -1.005, "-1.01 -$1.01 -1.01");
        row("just below half", 1.00499, "1.00 $1.00 1.00");
        row("sum of a half cent", 0.03 + 0.005, ".04 $.04 0.04"); // 0.0349999... in binary
        row("carries into thousands", 999.995, "1,000.00 $1000.00 1,000.00");
        row("far beyond cents", 1e20,
            "100,000,000,000,000,000,000.00 $100000000000000000000.00 "
            "100,000,000,000,000,000,000.00");
    }
    void money()
    {
        QFETCH(double, value);
        QFETCH(QString, texts);
        const QStringList t = texts.split(' ');
        QCOMPARE(Text(FormatAmount(value)), t[0]);
        QCOMPARE(Text(FormatFigure(value)), t[0] + " ");
        QCOMPARE(Text(FormatDollars(value)), t[1]);
        QCOMPARE(Text(FormatDialogAmount(value)), t[2]);
        // What the forms write reads back as the same amount to the cent.
        QCOMPARE(Text(FormatAmount(*ParseAmount(t[0].toStdString()))), t[0]);
    }

    // The one rule both record forms apply: the first fault found, and its field.
    void typedFields_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("fault"); // the kind and the field
        const auto row = [](const char* name, const char* fields, FieldFault fault, int field) {
            QTest::newRow(name) << fields << QStringLiteral("%1 %2").arg(int(fault)).arg(field);
        };
        row("sound", "Rent|Sub|2026-3-1|950|1", FieldFault::None, -1);
        row("leading-zero year", "Old|Sub|0999-3-1|5|12", FieldFault::None, -1);
        row("longest duration", "Rent|Sub|2026-3-1|950|32767", FieldFault::None, -1);
        row("blank name", "  |Sub|2026-3-1|950|1", FieldFault::Empty, 0);
        row("empty date before a bad name", "a/b|Sub||950|1", FieldFault::Empty, 2);
        row("separator in type", "Rent|S/b|2026-3-1|950|1", FieldFault::Separator, 1);
        row("line break in name", "Re\nnt|Sub|2026-3-1|950|1", FieldFault::LineBreak, 0);
        row("three-digit year", "Rent|Sub|999-3-1|950|1", FieldFault::Date, 2);
        row("month 13", "Rent|Sub|2026-13-1|950|1", FieldFault::Date, 2);
        row("day 0", "Rent|Sub|2026-3-0|950|1", FieldFault::Date, 2);
        row("day 32", "Rent|Sub|2026-3-32|950|1", FieldFault::Date, 2);
        row("amount no number", "Rent|Sub|2026-3-1|1.2.3|1", FieldFault::Amount, 3);
        row("negative amount", "Rent|Sub|2026-3-1|-5|1", FieldFault::Amount, 3);
        row("duration 0", "Rent|Sub|2026-3-1|950|0", FieldFault::Duration, 4);
        row("duration beyond 16 bits", "Rent|Sub|2026-3-1|950|32768", FieldFault::Duration, 4);
        // Year 1 moved on by 32,767 months overflows the month count: no month shows it.
        row("date too old for its period", "Rent|Sub|0001-3-1|950|32767", FieldFault::Duration, 4);
    }
    void typedFields()
    {
        QFETCH(QString, fields);
        QFETCH(QString, fault);
        std::array<std::string, kFieldCount> typed;
        for (int i = 0; i < kFieldCount; ++i) // "/" stands for the separator inside a field
            typed[i] = fields.section('|', i, i).replace('/', '|').toStdString();
        const FieldCheck check = CheckTypedFields(typed, "2026-06-15");
        QCOMPARE(QStringLiteral("%1 %2").arg(int(check.fault)).arg(check.field), fault);
    }

    // Rows in file order for an order of the list, and the record numbers as listed.
    void entryRows_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QByteArrayList>("rows");
        QTest::addColumn<QList<int>>("listed");
        QTest::newRow("type cut by characters in UTF-8, by bytes otherwise")
            << 1
            << QByteArrayList{"X|\xc3\x9cn\xc3\xafx|d|5|1", "Y|\xdcn\xefx|d|5|1",
                              "Z|\xe2\x82\xac|d|5|1"}
            << QByteArrayList{"\xc3\x9cn\xc3\xaf  X  d  5  1", "\xdcn\xef  Y  d  5  1",
                              "\xe2\x82\xac    Z  d  5  1"}
            << QList<int>{1, 2, 3};
        QTest::newRow("amount by value across widths, no number as stored")
            << 3 << QByteArrayList{"A|S|d|1,200|1", "B|S|d|25|1", "C|S|d|100000|1", "D|S|d|abc|1"}
            << QByteArrayList{"  1,200.00  A  S  d  1", "     25.00  B  S  d  1",
                              "100,000.00  C  S  d  1", "       abc  D  S  d  1"}
            << QList<int>{4, 2, 1, 3};
        QTest::newRow("duration by value, leading zeros dropped")
            << 4 << QByteArrayList{"A|S|d|5|012", "B|S|d|5|12345", "C|S|d|5|7"}
            << QByteArrayList{"   12  A  S  d  5", "12345  B  S  d  5", "    7  C  S  d  5"}
            << QList<int>{3, 1, 2};
        QTest::newRow("raw past nine, short and long lines kept")
            << 5 << QByteArrayList{"b", "a", "c", "d", "e", "f", "g", "h", "i", "a|b|c|d|e|6"}
            << QByteArrayList{"     1  b", "     2  a",          "     3  c", "     4  d",
                              "     5  e", "     6  f",          "     7  g", "     8  h",
                              "     9  i", "    10  a|b|c|d|e|6"}
            << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("short line: the missing fields are empty")
            << 0 << QByteArrayList{"broken", "x|a"}
            << QByteArrayList{"broken        ", "x  a      "} << QList<int>{1, 2};
    }
    void entryRows()
    {
        QFETCH(int, order);
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArrayList, rows);
        QFETCH(QList<int>, listed);
        std::vector<std::string> raw;
        for (const QByteArray& line : lines)
            raw.push_back(line.toStdString());
        QByteArrayList texts;
        for (const EntryRow& row : EntryRows(raw, EntryOrder(order), "2026-06-15"))
            texts << QByteArray::fromStdString(row.text);
        QCOMPARE(texts, rows);
        QList<int> numbers;
        for (const EntryRow& row : SortedEntryRows(raw, EntryOrder(order), "2026-06-15"))
            numbers << row.recordNumber;
        QCOMPARE(numbers, listed);
    }

    // The number column grows past six digits for every row, so the rows still sort by it.
    void sevenDigitRecordNumbers()
    {
        const auto rows =
            SortedEntryRows(std::vector<std::string>(1000000, "x"), EntryOrder::Raw, "");
        QCOMPARE(rows[999998].text + rows.back().text, std::string(" 999999  x1000000  x"));
        QCOMPARE(rows.back().recordNumber, 1000000);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
