// The month arithmetic that every screen relies on: normalising typed dates, stepping a
// payment to its next occurrence, date keys and the never-negative remainder.
#include "core/dates.h"

#include <QtTest>

using namespace kestrow;

class TestDates : public QObject
{
    Q_OBJECT
private slots:
    void normalizeDate_data();
    void normalizeDate();
    void stepDate_data();
    void stepDate();
    void stepDateRefused_data();
    void stepDateRefused();
    void dateKey_data();
    void dateKey();
    void todayFromSystemText_data();
    void todayFromSystemText();
};

void TestDates::normalizeDate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("normalized");
    QTest::newRow("short month and day") << "2026-3-1"
                                         << "2026-03-01";
    QTest::newRow("already canonical") << "2026-12-31"
                                       << "2026-12-31";
    QTest::newRow("year kept as typed") << "26-3-1"
                                        << "26-03-01";
    QTest::newRow("no range check") << "2026-13-45"
                                    << "2026-13-45";
    QTest::newRow("leading zeros dropped then padded") << "2026-003-0007"
                                                       << "2026-03-07";
    QTest::newRow("two parts") << "2026-3"
                               << "";
    QTest::newRow("four parts") << "2026-3-1-2"
                                << "";
    QTest::newRow("slashes") << "2026/07/01"
                             << "";
    QTest::newRow("empty month") << "2026--1"
                                 << "";
    QTest::newRow("letters in day") << "2026-3-x"
                                    << "";
    QTest::newRow("month beyond 16 bits") << "2026-99999-1"
                                          << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDates::normalizeDate()
{
    QFETCH(QString, typed);
    QFETCH(QString, normalized);
    QCOMPARE(QString::fromStdString(NormalizeDate(typed.toStdString())), normalized);
}

void TestDates::stepDate_data()
{
    QTest::addColumn<QString>("today");
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("months");
    QTest::addColumn<QString>("next");
    QTest::newRow("monthly from last year") << "2026-06-15"
                                            << "2025-03-01" << 1 << "2026-06-01";
    QTest::newRow("monthly this month") << "2026-06-15"
                                        << "2026-06-01" << 1 << "2026-06-01";
    QTest::newRow("quarterly rhythm") << "2026-06-15"
                                      << "2025-05-31" << 3 << "2026-08-31";
    QTest::newRow("half-yearly ahead") << "2026-06-15"
                                       << "2026-08-15" << 6 << "2026-08-15";
    QTest::newRow("day kept as written") << "2026-06-15"
                                         << "2026-3-5" << 2 << "2026-07-5";
    QTest::newRow("later year moved too") << "2026-06-15"
                                          << "2027-02-01" << 1 << "2027-06-01";
    QTest::newRow("two-yearly") << "2026-06-15"
                                << "2020-07-04" << 24 << "2026-07-04";
    QTest::newRow("carried into next year") << "2026-12-05"
                                            << "2026-02-01" << 3 << "2027-02-01";
    QTest::newRow("yearly stops at this year") << "2026-12-05"
                                               << "2025-03-01" << 12 << "2026-03-01";
    QTest::newRow("february limit") << "2026-02-10"
                                    << "2026-01-31" << 1 << "2026-02-28";
    QTest::newRow("thirty-day limit") << "2026-04-01"
                                      << "2025-01-31" << 1 << "2026-04-30";
    QTest::newRow("five-monthly february") << "2026-01-10"
                                           << "2024-11-30" << 5 << "2026-02-28";
    QTest::newRow("further part kept") << "2026-06-15"
                                       << "2025-03-01-x" << 1 << "2026-06-01-x";
    QTest::newRow("long period far back") << "2026-06-15"
                                          << "0001-01-01" << 30000 << "2501-01-01";
}

void TestDates::stepDate()
{
    QFETCH(QString, today);
    QFETCH(QString, date);
    QFETCH(int, months);
    QFETCH(QString, next);
    QCOMPARE(QString::fromStdString(StepDate(date.toStdString(), months, today.toStdString())),
             next);
}

void TestDates::stepDateRefused_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("months");
    QTest::newRow("period zero") << "2026-01-01" << 0;
    QTest::newRow("period negative") << "2026-01-01" << -1;
    QTest::newRow("period beyond 16 bits") << "2026-01-01" << 40000;
    QTest::newRow("two parts") << "2026-01" << 1;
    QTest::newRow("empty part") << "2026--1" << 1;
    QTest::newRow("letters") << "abcd-01-01" << 1;
    QTest::newRow("year beyond 16 bits") << "99999-01-01" << 1;
    QTest::newRow("month sum beyond 16 bits") << "2020-32000-01" << 32767;
}

void TestDates::stepDateRefused()
{
    QFETCH(QString, date);
    QFETCH(int, months);
    QCOMPARE(StepDate(date.toStdString(), months, "2026-06-15"), std::string());
}

void TestDates::dateKey_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("valid");
    QTest::newRow("canonical") << "2026-03-01" << 20260301 << true;
    QTest::newRow("month key") << "2027-01-99" << 20270199 << true;
    QTest::newRow("short parts") << "2026-3-1" << 202631 << true;
    QTest::newRow("letters") << "2026-ab-01" << 0 << false;
    QTest::newRow("too long") << "99999999-12-31" << 0 << false;
    QTest::newRow("only dashes") << "--" << 0 << false;
}

void TestDates::dateKey()
{
    QFETCH(QString, date);
    QFETCH(int, key);
    QFETCH(bool, valid);
    const auto result = DateKey(date.toStdString());
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, key);
}

void TestDates::todayFromSystemText_data()
{
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("month");
    QTest::newRow("december") << "12-05-2026"
                              << "2026-12-05" << 12;
    QTest::newRow("january") << "01-31-2027"
                             << "2027-01-31" << 1;
    QTest::newRow("wrong shape") << "2026-12-05"
                                 << "" << 0;
}

void TestDates::todayFromSystemText()
{
    QFETCH(QString, system);
    QFETCH(QString, date);
    QFETCH(int, month);
    const auto today = TodayFromSystemText(system.toStdString());
    QCOMPARE(today.has_value(), !date.isEmpty());
    if (today) {
        QCOMPARE(QString::fromStdString(today->date), date);
        QCOMPARE(int(today->month), month);
    }
}

QTEST_GUILESS_MAIN(TestDates)
#include "tst_dates.moc"
