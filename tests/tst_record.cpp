// Which lines of the data file the computations can use, and how records split and join.
#include "record.h"

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
    const auto parsed = ParseLines({"A|S|2026-01-01|5|1", "broken", "B|S|2026-01-01|5|240",
                                    "C|S|2026-01-01|x|1"});
    QCOMPARE(parsed.records.size(), std::size_t(2));
    QCOMPARE(parsed.records[0].recordNumber, 1);
    QCOMPARE(parsed.records[1].recordNumber, 3);
    QCOMPARE(parsed.unusableLines, (std::vector<std::int32_t>{2, 4}));
    QCOMPARE(int(LargestDuration(parsed.records, 120)), 240);
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
