// Money texts: the patterns of the data file and the screens, and reading amounts back.
#include "core/numfmt.h"

#include <QtTest>

using namespace kestrow;

class TestNumfmt : public QObject
{
    Q_OBJECT
private slots:
    void patterns_data();
    void patterns();
    void parseAmount_data();
    void parseAmount();
    void roundTripToCent();
};

void TestNumfmt::patterns_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("dollars");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("grouped") << 1234.5 << "1,234.50"
                             << "$1234.50"
                             << "1,234.50";
    QTest::newRow("below one") << 0.5 << ".50"
                               << "$.50"
                               << "0.50";
    QTest::newRow("zero") << 0.0 << ".00"
                          << "$.00"
                          << "0.00";
    QTest::newRow("million") << 1000000.0 << "1,000,000.00"
                             << "$1000000.00"
                             << "1,000,000.00";
    QTest::newRow("rounded up") << 12345.678 << "12,345.68"
                                << "$12345.68"
                                << "12,345.68";
    QTest::newRow("rounds to a whole") << 99.999 << "100.00"
                                       << "$100.00"
                                       << "100.00";
    QTest::newRow("negative") << -1234.5 << "-1,234.50"
                              << "-$1234.50"
                              << "-1,234.50";
    QTest::newRow("tiny negative is zero") << -0.001 << ".00"
                                           << "$.00"
                                           << "0.00";
    QTest::newRow("three digits") << 600.0 << "600.00"
                                  << "$600.00"
                                  << "600.00";
    // Half a cent rounds away from zero as it was typed, although the double lies a hair
    // below or above it.
    QTest::newRow("typed half cent below") << 1.005 << "1.01"
                                           << "$1.01"
                                           << "1.01";
    QTest::newRow("eighth") << 0.125 << ".13"
                            << "$.13"
                            << "0.13";
    QTest::newRow("three eighths") << 0.375 << ".38"
                                   << "$.38"
                                   << "0.38";
    QTest::newRow("half a cent") << 0.005 << ".01"
                                 << "$.01"
                                 << "0.01";
    QTest::newRow("negative half cent") << -1.005 << "-1.01"
                                        << "-$1.01"
                                        << "-1.01";
    QTest::newRow("just below half") << 1.00499 << "1.00"
                                     << "$1.00"
                                     << "1.00";
    // 0.03 + 0.005 is 0.034999999999999996 in binary.
    QTest::newRow("sum of a half cent") << 0.03 + 0.005 << ".04"
                                        << "$.04"
                                        << "0.04";
    QTest::newRow("carries into thousands") << 999.995 << "1,000.00"
                                            << "$1000.00"
                                            << "1,000.00";
    QTest::newRow("far beyond cents") << 1e20 << "100,000,000,000,000,000,000.00"
                                      << "$100000000000000000000.00"
                                      << "100,000,000,000,000,000,000.00";
}

void TestNumfmt::patterns()
{
    QFETCH(double, value);
    QFETCH(QString, amount);
    QFETCH(QString, dollars);
    QFETCH(QString, dialog);
    QCOMPARE(QString::fromStdString(FormatAmount(value)), amount);
    QCOMPARE(QString::fromStdString(FormatFigure(value)), amount + " ");
    QCOMPARE(QString::fromStdString(FormatDollars(value)), dollars);
    QCOMPARE(QString::fromStdString(FormatDialogAmount(value)), dialog);
}

void TestNumfmt::parseAmount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("grouped") << "1,234.50" << true << 1234.5;
    QTest::newRow("leading point") << ".50" << true << 0.5;
    QTest::newRow("plain") << "1234.5" << true << 1234.5;
    QTest::newRow("blanks") << "  25.00 " << true << 25.0;
    QTest::newRow("negative") << "-3" << true << -3.0;
    QTest::newRow("trailing point") << "7." << true << 7.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("only a point") << "." << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("exponent") << "1e308" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("leading comma") << ",5" << false << 0.0;
    QTest::newRow("comma decimals") << "1.2,3" << false << 0.0;
    QTest::newRow("letters") << "12abc" << false << 0.0;
    QTest::newRow("overflow") << QString(400, '9') << false << 0.0;
}

void TestNumfmt::parseAmount()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const auto parsed = ParseAmount(text.toStdString());
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void TestNumfmt::roundTripToCent()
{
    // What the forms write must read back as the same amount to the cent.
    const double values[] = {0.01, 0.125, 0.5, 19.99, 1234.5, 99999.995, 1e9 + 0.07, 123456789.12};
    for (const double v : values) {
        const auto back = ParseAmount(FormatAmount(v));
        QVERIFY(back.has_value());
        QVERIFY2(std::abs(*back - v) <= 0.005 + 1e-9, qPrintable(QString::number(v, 'g', 17)));
        QCOMPARE(FormatAmount(*back), FormatAmount(v));
    }
}

QTEST_GUILESS_MAIN(TestNumfmt)
#include "tst_numfmt.moc"
