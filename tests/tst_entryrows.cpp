// The rows of the entry list: what each order shows, and that the padded key columns put
// the rows in the order of the key's value however long the keys are.
#include "budget/entryrows.h"

#include <QtTest>

using namespace kestrow;

namespace {

const std::string kToday = "2026-06-15";

std::vector<std::string> Lines(const QByteArrayList& list)
{
    std::vector<std::string> lines;
    for (const QByteArray& line : list)
        lines.push_back(line.toStdString());
    return lines;
}

} // namespace

class TestEntryRows : public QObject
{
    Q_OBJECT
private slots:
    void rowText_data();
    void rowText();
    void keyOrder_data();
    void keyOrder();
    void sevenDigitRecordNumbers();
    void shownDate_data();
    void shownDate();
};

void TestEntryRows::rowText_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArrayList>("rows"); // in file order

    QTest::newRow("name: a record that cannot be stepped keeps its date")
        << 0 << QByteArrayList{"X|S|2025-03-01|5|0"} << QByteArrayList{"X  S  2025-03-01  5  0"};
    QTest::newRow("type: short type padded")
        << 1 << QByteArrayList{"X|S|2026-08-01|5|1"} << QByteArrayList{"S    X  2026-08-01  5  1"};
    QTest::newRow("type: cut by characters in UTF-8")
        << 1 << QByteArrayList{"X|\xc3\x9cn\xc3\xafx|2026-08-01|5|1"}
        << QByteArrayList{"\xc3\x9cn\xc3\xaf  X  2026-08-01  5  1"};
    QTest::newRow("type: padded by characters in UTF-8")
        << 1 << QByteArrayList{"X|\xc3\x9c|2026-08-01|5|1"}
        << QByteArrayList{"\xc3\x9c    X  2026-08-01  5  1"};
    QTest::newRow("type: cut by bytes in the single-byte code page")
        << 1 << QByteArrayList{"X|\xdcn\xefx|2026-08-01|5|1"}
        << QByteArrayList{"\xdcn\xef  X  2026-08-01  5  1"};

    QTest::newRow("amount: formatted and right-aligned")
        << 3 << QByteArrayList{"X|S|2026-08-01|1234.5|1"}
        << QByteArrayList{"1,234.50  X  S  2026-08-01  1"};
    QTest::newRow("amount: column widened for every row")
        << 3 << QByteArrayList{"Big|SG|2026-08-01|100000|1", "Small|SG|2026-08-01|25|1"}
        << QByteArrayList{"100,000.00  Big  SG  2026-08-01  1",
                          "     25.00  Small  SG  2026-08-01  1"};
    QTest::newRow("amount: not a number shown as stored")
        << 3 << QByteArrayList{"X|S|2026-08-01|abc|1"}
        << QByteArrayList{"     abc  X  S  2026-08-01  1"};
    QTest::newRow("amount: too large for a number shown as stored")
        << 3 << QByteArrayList{"X|S|2026-08-01|1" + QByteArray(400, '0') + "|1"}
        << QByteArrayList{"1" + QByteArray(400, '0') + "  X  S  2026-08-01  1"};

    QTest::newRow("duration: right-aligned in four") << 4 << QByteArrayList{"X|S|2026-08-01|5|12"}
                                                     << QByteArrayList{"  12  X  S  2026-08-01  5"};
    QTest::newRow("duration: column widened for every row")
        << 4 << QByteArrayList{"A|S|2026-08-01|5|12345", "B|S|2026-08-01|5|7"}
        << QByteArrayList{"12345  A  S  2026-08-01  5", "    7  B  S  2026-08-01  5"};
    QTest::newRow("duration: leading zeros do not count")
        << 4 << QByteArrayList{"X|S|2026-08-01|5|012"}
        << QByteArrayList{"  12  X  S  2026-08-01  5"};

    QTest::newRow("short line: missing fields are empty")
        << 0 << QByteArrayList{"broken"} << QByteArrayList{"broken        "};
    QTest::newRow("short line: raw")
        << 5 << QByteArrayList{"broken", ""} << QByteArrayList{"     1  broken", "     2  "};
    QTest::newRow("sixth field: only raw shows it")
        << 0 << QByteArrayList{"a|b|2026-08-01|5|1|extra"}
        << QByteArrayList{"a  b  2026-08-01  5  1"};
    QTest::newRow("sixth field: raw") << 5 << QByteArrayList{"a|b|2026-08-01|5|1|extra"}
                                      << QByteArrayList{"     1  a|b|2026-08-01|5|1|extra"};
}

void TestEntryRows::rowText()
{
    QFETCH(int, order);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArrayList, rows);
    const auto built = EntryRows(Lines(lines), static_cast<EntryOrder>(order), kToday);
    QCOMPARE(built.size(), std::size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QCOMPARE(QByteArray::fromStdString(built[std::size_t(i)].text), rows[i]);
        QCOMPARE(built[std::size_t(i)].recordNumber, std::int32_t(i + 1));
    }
}

void TestEntryRows::keyOrder_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QList<int>>("records"); // record numbers as listed

    QTest::newRow("name ignores letter case")
        << 0
        << QByteArrayList{"Bob|S|2026-08-01|5|1", "alice|S|2026-08-01|5|1", "Carl|S|2026-08-01|5|1"}
        << QList<int>{2, 1, 3};
    QTest::newRow("equal type keys fall by the name after them")
        << 1 << QByteArrayList{"Zed|Subs|2026-08-01|5|1", "amy|sub|2026-08-01|5|1"}
        << QList<int>{2, 1};
    QTest::newRow("date") << 2
                          << QByteArrayList{"A|S|2026-12-01|5|12", "B|S|2026-07-01|5|12",
                                            "C|S|2027-01-01|5|12"}
                          << QList<int>{2, 1, 3};
    QTest::newRow("amount by value across widths")
        << 3 << QByteArrayList{"A|S|2026-08-01|1,200.00|1", "B|S|2026-08-01|25|1",
                               "C|S|2026-08-01|100000|1",   "D|S|2026-08-01|.50|1",
                               "E|S|2026-08-01|999.99|1",   "F|S|2026-08-01|2000000|1"}
        << QList<int>{4, 2, 5, 1, 3, 6};
    QTest::newRow("duration by value across widths")
        << 4
        << QByteArrayList{"A|S|2026-08-01|5|12", "B|S|2026-08-01|5|5", "C|S|2026-08-01|5|12345",
                          "D|S|2026-08-01|5|100", "E|S|2026-08-01|5|013"}
        << QList<int>{2, 1, 5, 4, 3};
    QTest::newRow("raw keeps file order past nine")
        << 5 << QByteArrayList{"b", "a", "B", "A", "c", "C", "d", "D", "e", "E", "f", "F"}
        << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
}

void TestEntryRows::keyOrder()
{
    QFETCH(int, order);
    QFETCH(QByteArrayList, lines);
    QFETCH(QList<int>, records);
    const auto rows = SortedEntryRows(Lines(lines), static_cast<EntryOrder>(order), kToday);
    QList<int> listed;
    for (const auto& row : rows)
        listed << row.recordNumber;
    QCOMPARE(listed, records);
}

void TestEntryRows::sevenDigitRecordNumbers()
{
    const std::vector<std::string> lines(1000000, "x");
    const auto rows = SortedEntryRows(lines, EntryOrder::Raw, kToday);
    QCOMPARE(rows.size(), lines.size());
    QCOMPARE(rows.front().text, std::string("      1  x"));
    QCOMPARE(rows[999998].text, std::string(" 999999  x"));
    QCOMPARE(rows.back().text, std::string("1000000  x"));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].recordNumber != std::int32_t(i + 1))
            QFAIL(qPrintable(
                QStringLiteral("row %1 holds record %2").arg(i).arg(rows[i].recordNumber)));
    }
}

void TestEntryRows::shownDate_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("shown");
    QTest::newRow("past cycle moves on") << "2025-03-01"
                                         << "1"
                                         << "2026-06-01";
    QTest::newRow("later date stays") << "2026-08-15"
                                      << "6"
                                      << "2026-08-15";
    QTest::newRow("yearly in the current year stays") << "2026-01-10"
                                                      << "12"
                                                      << "2026-01-10";
    QTest::newRow("two-yearly from long ago") << "2020-07-04"
                                              << "24"
                                              << "2026-07-04";
    QTest::newRow("duration zero") << "2025-03-01"
                                   << "0"
                                   << "2025-03-01";
    QTest::newRow("duration not a number") << "2025-03-01"
                                           << "x"
                                           << "2025-03-01";
    QTest::newRow("duration beyond 16 bits") << "2025-03-01"
                                             << "40000"
                                             << "2025-03-01";
    QTest::newRow("date not a date") << "soon"
                                     << "1"
                                     << "soon";
    QTest::newRow("step beyond 16 bits") << "2020-01-01"
                                         << "32767"
                                         << "2020-01-01";
}

void TestEntryRows::shownDate()
{
    QFETCH(QString, date);
    QFETCH(QString, duration);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(ShownDate(date.toStdString(), duration.toStdString(), kToday)),
             shown);
}

QTEST_GUILESS_MAIN(TestEntryRows)
#include "tst_entryrows.moc"
