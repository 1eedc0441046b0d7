// Which lines of the data file the computations can use, and how records split and join.
#include "core/record.h"

#include <QtTest>

using namespace kestrow;

class TestRecord : public QObject
{
    Q_OBJECT
private slots:
    void usable_data();
    void usable();
    void extraFieldsSurviveSplitAndJoin();
    void unusableLinesKeepTheirNumbers();
    void typedFields_data();
    void typedFields();
};

void TestRecord::usable_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<double>("amount");
    QTest::addColumn<int>("duration");
    QTest::newRow("example") << "Car insurance|Sub|2026-03-01|1,234.50|12" << true << 1234.5 << 12;
    QTest::newRow("sixth field") << "A|B|2026-03-01|.50|1|extra" << true << 0.5 << 1;
    QTest::newRow("short date parts") << "A|B|2026-3-1|5|3" << true << 5.0 << 3;
    QTest::newRow("largest duration") << "A|B|2026-03-01|5|32767" << true << 5.0 << 32767;
    QTest::newRow("four fields") << "A|B|2026-03-01|5" << false << 0.0 << 0;
    QTest::newRow("duration zero") << "A|B|2026-03-01|5|0" << false << 0.0 << 0;
    QTest::newRow("duration negative") << "A|B|2026-03-01|5|-1" << false << 0.0 << 0;
    QTest::newRow("duration beyond 16 bits") << "A|B|2026-03-01|5|32768" << false << 0.0 << 0;
    QTest::newRow("duration huge") << "A|B|2026-03-01|5|99999999999" << false << 0.0 << 0;
    QTest::newRow("amount nan") << "A|B|2026-03-01|nan|1" << false << 0.0 << 0;
    QTest::newRow("amount empty") << "A|B|2026-03-01||1" << false << 0.0 << 0;
    QTest::newRow("date two parts") << "A|B|2026-03|5|1" << false << 0.0 << 0;
    QTest::newRow("date four parts") << "A|B|2026-1-1-1|5|1" << false << 0.0 << 0;
    QTest::newRow("date dashes only") << "A|B|--|5|1" << false << 0.0 << 0;
    QTest::newRow("empty line") << "" << false << 0.0 << 0;
}

void TestRecord::usable()
{
    QFETCH(QString, line);
    QFETCH(bool, usable);
    QFETCH(double, amount);
    QFETCH(int, duration);
    const auto record = ParseRecord(line.toStdString(), 7);
    QCOMPARE(record.has_value(), usable);
    if (record) {
        QCOMPARE(record->recordNumber, 7);
        QCOMPARE(record->amount, amount);
        QCOMPARE(int(record->duration), duration);
    }
}

void TestRecord::extraFieldsSurviveSplitAndJoin()
{
    const std::string line = "Name|Typ|2026-03-01|1,234.50|12|sixth||eighth";
    QCOMPARE(JoinFields(SplitFields(line)), line);
    QCOMPARE(SplitFields(line).size(), std::size_t(8));
}

void TestRecord::unusableLinesKeepTheirNumbers()
{
    const auto parsed =
        ParseLines({"A|S|2026-01-01|5|1", "broken", "B|S|2026-01-01|5|240", "C|S|2026-01-01|x|1"});
    QCOMPARE(parsed.records.size(), std::size_t(2));
    QCOMPARE(parsed.records[0].recordNumber, 1);
    QCOMPARE(parsed.records[1].recordNumber, 3);
    QCOMPARE(parsed.unusableLines, (std::vector<std::int32_t>{2, 4}));
    QCOMPARE(int(LargestDuration(parsed.records, 120)), 240);
}

// The one rule both record forms apply: the first fault found, and its field.
void TestRecord::typedFields_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("field");
    const auto row = [](const char* name, QStringList fields, FieldFault fault, int field) {
        QTest::newRow(name) << fields << int(fault) << field;
    };
    row("sound", {"Rent", "Sub", "2026-3-1", "950", "1"}, FieldFault::None, -1);
    row("leading-zero year", {"Old", "Sub", "0999-3-1", "5", "12"}, FieldFault::None, -1);
    row("blank name", {"  ", "Sub", "2026-3-1", "950", "1"}, FieldFault::Empty, 0);
    row("empty date before a bad name", {"a|b", "Sub", "", "950", "1"}, FieldFault::Empty, 2);
    row("separator in type", {"Rent", "S|b", "2026-3-1", "950", "1"}, FieldFault::Separator, 1);
    row("line break in name", {"Re\nnt", "Sub", "2026-3-1", "950", "1"}, FieldFault::LineBreak, 0);
    row("three-digit year", {"Rent", "Sub", "999-3-1", "950", "1"}, FieldFault::Date, 2);
    row("month 13", {"Rent", "Sub", "2026-13-1", "950", "1"}, FieldFault::Date, 2);
    row("day 0", {"Rent", "Sub", "2026-3-0", "950", "1"}, FieldFault::Date, 2);
    row("amount not a number", {"Rent", "Sub", "2026-3-1", "1.2.3", "1"}, FieldFault::Amount, 3);
    row("negative amount", {"Rent", "Sub", "2026-3-1", "-5", "1"}, FieldFault::Amount, 3);
    row("duration 0", {"Rent", "Sub", "2026-3-1", "950", "0"}, FieldFault::Duration, 4);
    row("duration beyond 16 bits", {"Rent", "Sub", "2026-3-1", "950", "32768"},
        FieldFault::Duration, 4);
    row("longest duration", {"Rent", "Sub", "2026-3-1", "950", "32767"}, FieldFault::None, -1);
    // Moving year 1 on by 32,767 months overflows the month count: no month could show it.
    row("date too old for its period", {"Rent", "Sub", "0001-3-1", "950", "32767"},
        FieldFault::Duration, 4);
}

void TestRecord::typedFields()
{
    QFETCH(QStringList, fields);
    QFETCH(int, fault);
    QFETCH(int, field);
    std::array<std::string, kFieldCount> typed;
    for (int i = 0; i < kFieldCount; ++i)
        typed[i] = fields[i].toStdString();
    const FieldCheck check = CheckTypedFields(typed, "2026-06-15");
    QCOMPARE(int(check.fault), fault);
    QCOMPARE(check.field, field);
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
