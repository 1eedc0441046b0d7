// The core rules as example tables: dates and the month arithmetic, money texts, which
// lines are records, the rule for typed fields, the Step and Pay line rules and the rows
// of the entry list. A result shown as null is a refusal.
#include "budget/entryrows.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "core/record.h"

#include <QtTest>

using namespace kestrow;

namespace {

const char* const kToday = "2026-06-15";

QString Text(const std::string& text)
{
    return text.empty() ? QString() : QString::fromStdString(text);
}
template <class T, class F> QString Shown(const std::optional<T>& value, F show)
{
    return value ? show(*value) : QString();
}

// One rule applied to its arguments, its result as text.
QString Apply(const QString& rule, const QStringList& a)
{
    const auto arg = [&a](int i) { return a.value(i).toStdString(); };
    const auto number = [](auto n) { return QString::number(n); };
    if (rule == "normalize")
        return Text(NormalizeDate(arg(0)));
    if (rule == "step")
        return Text(StepDate(arg(0), a[1].toInt(), a.value(2, kToday).toStdString()));
    if (rule == "key")
        return Shown(DateKey(arg(0)), number);
    if (rule == "today")
        return Shown(TodayFromSystemText(arg(0)),
                     [](const Today& t) { return Text(t.date) + " " + QString::number(t.month); });
    if (rule == "paid")
        return Shown(PaidDate(arg(0), a[1].toLongLong()), Text);
    if (rule == "stepped")
        return Shown(SteppedLine(arg(0)), Text);
    if (rule == "terms")
        return Shown(PayTermsOf(arg(0), kToday), [](const PayTerms& t) {
            return QStringLiteral("%1 %2 %3").arg(t.months).arg(t.amount).arg(Text(t.newDate));
        });
    if (rule == "amount")
        return Shown(ParseAmount(arg(0)), number);
    if (rule == "whole")
        return Shown(ParseWhole(arg(0)), number);
    if (rule == "record")
        return Shown(ParseRecord(arg(0), 7), [](const UsableRecord& r) {
            return QStringLiteral("%1 %2 %3").arg(r.recordNumber).arg(r.amount).arg(r.duration);
        });
    if (rule == "shown")
        return Text(ShownDate(arg(0), arg(1), kToday));
    qFatal("no rule %s", qPrintable(rule));
}

void Row(const char* name, const char* rule, const QStringList& args, const char* result)
{
    QTest::newRow(name) << QString(rule) << args << QString(result);
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
    void refusals_data();
    void refusals();
    void money_data();
    void money();
    void typedFields_data();
    void typedFields();
    void entryRows_data();
    void entryRows();
    void sevenDigitRecordNumbers();
};

void TestCore::rules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("result");
    Row("normalize: month and day padded", "normalize", {"2026-3-1"}, "2026-03-01");
    Row("normalize: year as typed", "normalize", {"26-3-1"}, "26-03-01");
    Row("normalize: no range check", "normalize", {"2026-13-45"}, "2026-13-45");
    Row("normalize: leading zeros", "normalize", {"2026-003-0007"}, "2026-03-07");
    Row("step: monthly from last year", "step", {"2025-03-01", "1"}, "2026-06-01");
    Row("step: monthly this month", "step", {"2026-06-01", "1"}, "2026-06-01");
    Row("step: quarterly rhythm", "step", {"2025-05-31", "3"}, "2026-08-31");
    Row("step: half-yearly ahead", "step", {"2026-08-15", "6"}, "2026-08-15");
    Row("step: day kept as written", "step", {"2026-3-5", "2"}, "2026-07-5");
    Row("step: later year moved too", "step", {"2027-02-01", "1"}, "2027-06-01");
    Row("step: two-yearly", "step", {"2020-07-04", "24"}, "2026-07-04");
    Row("step: carried into next year", "step", {"2026-02-01", "3", "2026-12-05"}, "2027-02-01");
    Row("step: yearly stops at this year", "step", {"2025-03-01", "12", "2026-12-05"},
        "2026-03-01");
    Row("step: february limit", "step", {"2026-01-31", "1", "2026-02-10"}, "2026-02-28");
    Row("step: thirty-day limit", "step", {"2025-01-31", "1", "2026-04-01"}, "2026-04-30");
    Row("step: five-monthly february", "step", {"2024-11-30", "5", "2026-01-10"}, "2026-02-28");
    Row("step: further part kept", "step", {"2025-03-01-x", "1"}, "2026-06-01-x");
    Row("step: long period far back", "step", {"0001-01-01", "30000"}, "2501-01-01");
    Row("key: canonical", "key", {"2026-03-01"}, "20260301");
    Row("key: short parts", "key", {"2026-3-1"}, "202631");
    Row("today: december", "today", {"12-05-2026"}, "2026-12-05 12");
    Row("today: january", "today", {"01-31-2027"}, "2027-01-31 1");
    Row("paid: 3 months", "paid", {"2026-11-20", "3"}, "2027-02-20");
    Row("paid: 30 months", "paid", {"2026-11-20", "30"}, "2029-05-20");
    Row("paid: no months", "paid", {"2026-11-20", "0"}, "2026-11-20");
    Row("paid: day kept beyond the month", "paid", {"2026-01-31", "1"}, "2026-02-31");
    Row("paid: december", "paid", {"2026-06-15", "6"}, "2026-12-15");
    Row("paid: beyond 32 bits", "paid", {"2026-11-20", "2147483647"}, "178958997-06-20");
    Row("stepped: december into january", "stepped", {"A|S|2026-12-15|10|12"},
        "A|S|2027-01-15|10|12");
    Row("stepped: month padded, day kept", "stepped", {"A|S|2026-3-5|10|12"}, "A|S|2026-04-5|10|12");
    Row("stepped: day not fitted", "stepped", {"A|S|2026-01-31|10|12"}, "A|S|2026-02-31|10|12");
    Row("stepped: short year padded", "stepped", {"A|S|26-03-01|10|12"}, "A|S|0026-04-01|10|12");
    Row("stepped: more parts and fields kept", "stepped", {"A|S|2026-05-01-x|1|3|n"},
        "A|S|2026-06-01-x|1|3|n");
    Row("stepped: month zero", "stepped", {"A|S|2026-00-07|10|12"}, "A|S|2026-01-07|10|12");
    Row("stepped: largest month", "stepped", {"A|S|2026-2147483647-01|1|1"},
        "A|S|178958996-08-01|1|1");
    Row("terms: period, amount, new date", "terms", {"A|S|2025-01-01|1,234.5|12"},
        "12 1234.5 2027-06-15");
    Row("amount: grouped", "amount", {"1,234.50"}, "1234.5");
    Row("amount: leading point", "amount", {".50"}, "0.5");
    Row("amount: blanks around", "amount", {"  25.00 "}, "25");
    Row("amount: signs", "amount", {"-3"}, "-3");
    Row("amount: trailing point", "amount", {"7."}, "7");
    Row("whole: blanks around", "whole", {" 12 "}, "12");
    Row("whole: largest", "whole", {"2147483647"}, "2147483647");
    Row("record: the example", "record", {"Car insurance|Sub|2026-03-01|1,234.50|12"},
        "7 1234.5 12");
    Row("record: sixth field", "record", {"A|B|2026-03-01|.50|1|extra"}, "7 0.5 1");
    Row("record: short date parts", "record", {"A|B|2026-3-1|5|3"}, "7 5 3");
    Row("record: longest duration", "record", {"A|B|2026-03-01|5|32767"}, "7 5 32767");
    Row("shown: past cycle moves on", "shown", {"2025-03-01", "1"}, "2026-06-01");
    Row("shown: later date stays", "shown", {"2026-08-15", "6"}, "2026-08-15");
    Row("shown: yearly this year stays", "shown", {"2026-01-10", "12"}, "2026-01-10");
    Row("shown: duration zero", "shown", {"2025-03-01", "0"}, "2025-03-01");
    Row("shown: duration not a number", "shown", {"2025-03-01", "x"}, "2025-03-01");
    Row("shown: not a date", "shown", {"soon", "1"}, "soon");
    Row("shown: step beyond 16 bits", "shown", {"2020-01-01", "32767"}, "2020-01-01");
}

void TestCore::rules()
{
    QFETCH(QString, rule);
    QFETCH(QStringList, args);
    QFETCH(QString, result);
    QCOMPARE(Apply(rule, args), result);
}

void TestCore::refusals_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("result");
    for (const char* date : {"2026-3", "2026-3-1-2", "2026/07/01", "2026--1", "2026-3-x",
                             "2026-99999-1", ""})
        QTest::addRow("normalize: '%s'", date) << "normalize" << QStringList{date} << QString();
    Row("step: period zero", "step", {"2026-01-01", "0"}, nullptr);
    Row("step: period negative", "step", {"2026-01-01", "-1"}, nullptr);
    Row("step: period beyond 16 bits", "step", {"2026-01-01", "40000"}, nullptr);
    Row("step: two parts", "step", {"2026-01", "1"}, nullptr);
    Row("step: empty part", "step", {"2026--1", "1"}, nullptr);
    Row("step: letters", "step", {"abcd-01-01", "1"}, nullptr);
    Row("step: year beyond 16 bits", "step", {"99999-01-01", "1"}, nullptr);
    Row("step: month sum beyond 16 bits", "step", {"2020-32000-01", "32767"}, nullptr);
    Row("step: today of one part", "step", {"2026-01-01", "1", "2026"}, nullptr);
    Row("key: letters", "key", {"2026-ab-01"}, nullptr);
    Row("key: beyond 32 bits", "key", {"99999999-12-31"}, nullptr);
    Row("key: only dashes", "key", {"--"}, nullptr);
    Row("key: empty", "key", {""}, nullptr);
    Row("today: wrong shape", "today", {"2026-12-05"}, nullptr);
    Row("today: month 13", "today", {"13-05-2026"}, nullptr);
    Row("today: day 0", "today", {"12-00-2026"}, nullptr);
    Row("paid: negative months", "paid", {"2026-11-20", "-1"}, nullptr);
    Row("paid: month not a number", "paid", {"2026-xx-20", "1"}, nullptr);
    Row("paid: month sum overflows", "paid", {"2026-12-20", "9223372036854775807"}, nullptr);
    Row("stepped: four fields", "stepped", {"A|S|2026-05-01|10"}, nullptr);
    Row("stepped: no month part", "stepped", {"A|S|2026|10|12"}, nullptr);
    Row("stepped: month not a number", "stepped", {"A|S|2026-May-01|10|12"}, nullptr);
    Row("stepped: year empty", "stepped", {"A|S|-05-01|10|12"}, nullptr);
    Row("terms: four fields", "terms", {"A|S|2026-05-01|10"}, nullptr);
    Row("terms: amount not a number", "terms", {"A|S|2026-05-01|x|1"}, nullptr);
    Row("terms: duration beyond 16 bits", "terms", {"A|S|2026-05-01|1|32768"}, nullptr);
    for (const char* amount : {"", ".", "1.2.3", "1e308", "nan", "inf", ",5", "1.2,3", "12abc"})
        QTest::addRow("amount: '%s'", amount) << "amount" << QStringList{amount} << QString();
    Row("amount: overflow", "amount", {QString(400, '9')}, nullptr);
    Row("whole: sign", "whole", {"+1"}, nullptr);
    Row("whole: beyond 32 bits", "whole", {"2147483648"}, nullptr);
    Row("whole: blanks only", "whole", {"  "}, nullptr);
    for (const char* line : {"A|B|2026-03-01|5", "A|B|2026-03-01|5|0", "A|B|2026-03-01|5|-1",
                             "A|B|2026-03-01|5|32768", "A|B|2026-03-01|5|99999999999",
                             "A|B|2026-03-01|nan|1", "A|B|2026-03-01||1", "A|B|2026-03|5|1",
                             "A|B|2026-1-1-1|5|1", "A|B|--|5|1", ""})
        QTest::addRow("record: '%s'", line) << "record" << QStringList{line} << QString();
}

void TestCore::refusals()
{
    rules();
}

void TestCore::money_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("amount"); // also the figure, with a trailing blank
    QTest::addColumn<QString>("dollars");
    QTest::addColumn<QString>("dialog");
    const auto row = [](const char* name, double v, const char* a, const char* d, const char* g) {
        QTest::newRow(name) << v << QString(a) << QString(d) << QString(g);
    };
    row("grouped", 1234.5, "1,234.50", "$1234.50", "1,234.50");
    row("below one", 0.5, ".50", "$.50", "0.50");
    row("zero", 0.0, ".00", "$.00", "0.00");
    row("million", 1e6, "1,000,000.00", "$1000000.00", "1,000,000.00");
    row("rounded up", 12345.678, "12,345.68", "$12345.68", "12,345.68");
    row("rounds to a whole", 99.999, "100.00", "$100.00", "100.00");
    row("negative", -1234.5, "-1,234.50", "-$1234.50", "-1,234.50");
    row("tiny negative is zero", -0.001, ".00", "$.00", "0.00");
    // Half a cent rounds away from zero as typed, though the double lies a hair off it.
    row("typed half cent below", 1.005, "1.01", "$1.01", "1.01");
    row("eighth", 0.125, ".13", "$.13", "0.13");
    row("half a cent", 0.005, ".01", "$.01", "0.01");
    row("negative half cent", -1.005, "-1.01", "-$1.01", "-1.01");
    row("just below half", 1.00499, "1.00", "$1.00", "1.00");
    row("sum of a half cent", 0.03 + 0.005, ".04", "$.04", "0.04"); // 0.0349999... in binary
    row("carries into thousands", 999.995, "1,000.00", "$1000.00", "1,000.00");
    row("far beyond cents", 1e20, "100,000,000,000,000,000,000.00", "$100000000000000000000.00",
        "100,000,000,000,000,000,000.00");
}

void TestCore::money()
{
    QFETCH(double, value);
    QFETCH(QString, amount);
    QFETCH(QString, dollars);
    QFETCH(QString, dialog);
    QCOMPARE(Text(FormatAmount(value)), amount);
    QCOMPARE(Text(FormatFigure(value)), amount + " ");
    QCOMPARE(Text(FormatDollars(value)), dollars);
    QCOMPARE(Text(FormatDialogAmount(value)), dialog);
    // What the forms write reads back as the same amount to the cent.
    QCOMPARE(Text(FormatAmount(*ParseAmount(FormatAmount(value)))), amount);
}

// The one rule both record forms apply: the first fault found, and its field.
void TestCore::typedFields_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("field");
    const auto row = [](const char* name, QStringList fields, FieldFault fault, int field) {
        QTest::newRow(name) << fields << int(fault) << field;
    };
    row("sound", {"Rent", "Sub", "2026-3-1", "950", "1"}, FieldFault::None, -1);
    row("leading-zero year", {"Old", "Sub", "0999-3-1", "5", "12"}, FieldFault::None, -1);
    row("longest duration", {"Rent", "Sub", "2026-3-1", "950", "32767"}, FieldFault::None, -1);
    row("blank name", {"  ", "Sub", "2026-3-1", "950", "1"}, FieldFault::Empty, 0);
    row("empty date before a bad name", {"a|b", "Sub", "", "950", "1"}, FieldFault::Empty, 2);
    row("separator in type", {"Rent", "S|b", "2026-3-1", "950", "1"}, FieldFault::Separator, 1);
    row("line break in name", {"Re\nnt", "Sub", "2026-3-1", "950", "1"}, FieldFault::LineBreak, 0);
    row("three-digit year", {"Rent", "Sub", "999-3-1", "950", "1"}, FieldFault::Date, 2);
    row("month 13", {"Rent", "Sub", "2026-13-1", "950", "1"}, FieldFault::Date, 2);
    row("day 0", {"Rent", "Sub", "2026-3-0", "950", "1"}, FieldFault::Date, 2);
    row("day 32", {"Rent", "Sub", "2026-3-32", "950", "1"}, FieldFault::Date, 2);
    row("amount not a number", {"Rent", "Sub", "2026-3-1", "1.2.3", "1"}, FieldFault::Amount, 3);
    row("negative amount", {"Rent", "Sub", "2026-3-1", "-5", "1"}, FieldFault::Amount, 3);
    row("duration 0", {"Rent", "Sub", "2026-3-1", "950", "0"}, FieldFault::Duration, 4);
    row("duration beyond 16 bits", {"Rent", "Sub", "2026-3-1", "950", "32768"},
        FieldFault::Duration, 4);
    // Year 1 moved on by 32,767 months overflows the month count: no month could show it.
    row("date too old for its period", {"Rent", "Sub", "0001-3-1", "950", "32767"},
        FieldFault::Duration, 4);
}

void TestCore::typedFields()
{
    QFETCH(QStringList, fields);
    QFETCH(int, fault);
    QFETCH(int, field);
    std::array<std::string, kFieldCount> typed;
    for (int i = 0; i < kFieldCount; ++i)
        typed[i] = fields[i].toStdString();
    const FieldCheck check = CheckTypedFields(typed, kToday);
    QCOMPARE(int(check.fault), fault);
    QCOMPARE(check.field, field);
}

// Rows in file order for one order of the list, and the record numbers as listed.
void TestCore::entryRows_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArrayList>("rows");
    QTest::addColumn<QList<int>>("listed");
    const auto row = [](const char* name, EntryOrder order, QByteArrayList lines,
                        QByteArrayList rows, QList<int> listed) {
        QTest::newRow(name) << int(order) << lines << rows << listed;
    };
    row("name: letter case does not decide", EntryOrder::Name,
        {"Bob|S|2026-08-01|5|1", "alice|S|2025-03-01|5|1"},
        {"Bob  S  2026-08-01  5  1", "alice  S  2026-06-01  5  1"}, {2, 1});
    row("name: unsteppable keeps its date", EntryOrder::Name, {"X|S|2025-03-01|5|0"},
        {"X  S  2025-03-01  5  0"}, {1});
    row("type: padded, then by name", EntryOrder::Type, {"Zed|S|2026-08-01|5|1", "amy|s|x|5|1"},
        {"S    Zed  2026-08-01  5  1", "s    amy  x  5  1"}, {2, 1});
    row("type: cut by characters in UTF-8", EntryOrder::Type, {"X|\xc3\x9cn\xc3\xafx|d|5|1"},
        {"\xc3\x9cn\xc3\xaf  X  d  5  1"}, {1});
    row("type: three-byte letters", EntryOrder::Type, {"X|\xe2\x82\xac|d|5|1"},
        {"\xe2\x82\xac    X  d  5  1"}, {1});
    row("type: cut by bytes in the code page", EntryOrder::Type, {"X|\xdcn\xefx|d|5|1"},
        {"\xdcn\xef  X  d  5  1"}, {1});
    row("date", EntryOrder::Date, {"A|S|2026-12-01|5|12", "B|S|2026-07-01|5|12"},
        {"2026-12-01  A  S  5  12", "2026-07-01  B  S  5  12"}, {2, 1});
    row("amount: by value across widths", EntryOrder::Amount,
        {"A|S|d|1,200.00|1", "B|S|d|25|1", "C|S|d|100000|1", "D|S|d|abc|1", "E|S|d|.5|1"},
        {"  1,200.00  A  S  d  1", "     25.00  B  S  d  1", "100,000.00  C  S  d  1",
         "       abc  D  S  d  1", "       .50  E  S  d  1"},
        {5, 4, 2, 1, 3});
    row("amount: too large for a number", EntryOrder::Amount,
        {"X|S|d|1" + QByteArray(400, '0') + "|1"}, {"1" + QByteArray(400, '0') + "  X  S  d  1"},
        {1});
    row("duration: by value, leading zeros dropped", EntryOrder::Duration,
        {"A|S|d|5|12", "B|S|d|5|012", "C|S|d|5|12345", "D|S|d|5|7"},
        {"   12  A  S  d  5", "   12  B  S  d  5", "12345  C  S  d  5", "    7  D  S  d  5"},
        {4, 1, 2, 3});
    row("raw: file order past nine, short lines kept", EntryOrder::Raw,
        {"b", "a", "c", "d", "e", "f", "g", "h", "i", "a|b|c|d|e|sixth"},
        {"     1  b", "     2  a", "     3  c", "     4  d", "     5  e", "     6  f", "     7  g",
         "     8  h", "     9  i", "    10  a|b|c|d|e|sixth"},
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    row("short line: missing fields empty", EntryOrder::Name, {"broken"}, {"broken        "}, {1});
}

void TestCore::entryRows()
{
    QFETCH(int, order);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArrayList, rows);
    QFETCH(QList<int>, listed);
    std::vector<std::string> raw;
    for (const QByteArray& line : lines)
        raw.push_back(line.toStdString());
    const auto built = EntryRows(raw, EntryOrder(order), kToday);
    QByteArrayList texts;
    for (const EntryRow& row : built)
        texts << QByteArray::fromStdString(row.text);
    QCOMPARE(texts, rows);
    QList<int> numbers;
    for (const EntryRow& row : SortedEntryRows(raw, EntryOrder(order), kToday))
        numbers << row.recordNumber;
    QCOMPARE(numbers, listed);
}

// The number column grows past six digits for every row, so the rows still sort by it.
void TestCore::sevenDigitRecordNumbers()
{
    const auto rows = SortedEntryRows(std::vector<std::string>(1000000, "x"), EntryOrder::Raw, "");
    QCOMPARE(rows[999998].text, std::string(" 999999  x"));
    QCOMPARE(rows.back().text, std::string("1000000  x"));
    QCOMPARE(rows.back().recordNumber, 1000000);
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
