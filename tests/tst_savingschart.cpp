// The savings chart: which lines it draws, in which colours and at which scale, and that
// the bars stay apart and one pixel wide on the screen.
#include "forms/savingschart.h"

#include <QtTest>

#include <cmath>

namespace {

std::vector<double> Totals(int horizon, double largest)
{
    std::vector<double> totals(std::size_t(horizon) + 1, 0.0);
    totals[std::size_t(horizon / 2)] = largest;
    return totals;
}

QColor Rgb(int r, int g, int b)
{
    return QColor(r, g, b);
}

// The horizontal lines of the plan, which are the grid.
std::vector<ChartLine> Grid(const ChartPlan& plan)
{
    std::vector<ChartLine> grid;
    for (const ChartLine& l : plan.lines) {
        if (l.y1 == l.y2 && l.x1 != l.x2)
            grid.push_back(l);
    }
    return grid;
}

} // namespace

class TestSavingsChart : public QObject
{
    Q_OBJECT
private slots:
    void grid_data();
    void grid();
    void toolTipText();
    void scaleFollowsHorizonAndTop();
    void januaries_data();
    void januaries();
    void markerAndBarsInDrawingOrder();
    void hugeTotalsStillGetAGrid_data();
    void hugeTotalsStillGetAGrid();
    void widgetShowsPlanAndToolTip();
    void barsStaySeparateAt240Months();
    void gridLinesAreOnePixelHigh();
};

void TestSavingsChart::grid_data()
{
    QTest::addColumn<double>("largest");
    QTest::addColumn<double>("freed");
    QTest::addColumn<qint64>("gridStep");
    QTest::addColumn<qint64>("chartTop");
    QTest::addColumn<QList<double>>("ys");
    QTest::addColumn<int>("pinkLines");

    QList<double> hundreds;
    for (int y = 0; y <= 1000; y += 100)
        hundreds << y;
    QTest::newRow("999.99: every 100 up to 1000")
        << 999.99 << 0.0 << qint64(100) << qint64(1000) << hundreds << 0;
    QTest::newRow("exactly 1000") << 1000.0 << 0.0 << qint64(1000) << qint64(1000)
                                  << QList<double>{0, 1000} << 0;
    QTest::newRow("just above 1000")
        << 1000.01 << 0.0 << qint64(1000) << qint64(2000) << QList<double>{0, 1000, 2000} << 0;
    QTest::newRow("2500 with 600 freed") << 2500.0 << 600.0 << qint64(1000) << qint64(3000)
                                         << QList<double>{0, 1000, 2000, 3000} << 1;
    QTest::newRow("freed 2000 is not below the line at 2000")
        << 2500.0 << 2000.0 << qint64(1000) << qint64(3000) << QList<double>{0, 1000, 2000, 3000}
        << 2;
    QTest::newRow("all zero: one grey line")
        << 0.0 << 0.0 << qint64(100) << qint64(0) << QList<double>{0} << 0;
    QTest::newRow("exactly 100") << 100.0 << 0.0 << qint64(100) << qint64(100)
                                 << QList<double>{0, 100} << 0;
    QList<double> thousands;
    for (int y = 0; y <= 40000; y += 1000)
        thousands << y;
    QTest::newRow("beyond 16 bits")
        << 39000.5 << 0.0 << qint64(1000) << qint64(40000) << thousands << 0;
}

void TestSavingsChart::grid()
{
    QFETCH(double, largest);
    QFETCH(double, freed);
    QFETCH(qint64, gridStep);
    QFETCH(qint64, chartTop);
    QFETCH(QList<double>, ys);
    QFETCH(int, pinkLines);

    const ChartPlan plan = MakeChartPlan(Totals(120, largest), freed, 120, 6, 0);
    QCOMPARE(plan.gridStep, gridStep);
    QCOMPARE(plan.chartTop, chartTop);
    QVERIFY(plan.toolTip.endsWith(QStringLiteral("Horizontal lines are $%1.").arg(gridStep)));

    const auto grid = Grid(plan);
    QCOMPARE(int(grid.size()), int(ys.size()));
    int pink = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        QCOMPARE(grid[i].y1, ys[qsizetype(i)]);
        QCOMPARE(grid[i].x1, -2.0);
        QCOMPARE(grid[i].x2, 122.0);
        if (grid[i].colour == Rgb(255, 234, 236))
            ++pink;
        else
            QCOMPARE(grid[i].colour, Rgb(223, 223, 223));
    }
    QCOMPARE(pink, pinkLines);
    // The pink lines are the lowest ones.
    for (int i = 0; i < pinkLines; ++i)
        QCOMPARE(grid[std::size_t(i)].colour, Rgb(255, 234, 236));
}

void TestSavingsChart::toolTipText()
{
    QCOMPARE(MakeChartPlan(Totals(120, 2500), 0, 120, 6, 0).toolTip,
             QStringLiteral("This is a graph of the total amount. January is in grey, and the "
                            "current month is in green.  Red represents money that has been "
                            "freed. Horizontal lines are $1000."));
    QCOMPARE(MakeChartPlan(Totals(120, 50), 0, 120, 6, 0).toolTip,
             QStringLiteral("This is a graph of the total amount. January is in grey, and the "
                            "current month is in green.  Red represents money that has been "
                            "freed. Horizontal lines are $100."));
}

void TestSavingsChart::scaleFollowsHorizonAndTop()
{
    const ChartPlan plan = MakeChartPlan(Totals(240, 2500), 0, 240, 6, 0);
    QCOMPARE(plan.left, -2.0);
    QCOMPARE(plan.right, 242.0);
    QCOMPARE(plan.top, 3010.0);
    QCOMPARE(plan.bottom, -10.0);
}

void TestSavingsChart::januaries_data()
{
    QTest::addColumn<int>("todayMonth");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("December") << 12 << 1 << 109;
    QTest::newRow("January") << 1 << 12 << 120;
    QTest::newRow("June") << 6 << 7 << 115;
}

void TestSavingsChart::januaries()
{
    QFETCH(int, todayMonth);
    QFETCH(int, first);
    QFETCH(int, last);
    // The marker sits at 60, no January for any of the three months.
    const ChartPlan plan = MakeChartPlan(Totals(120, 2500), 0, 120, todayMonth, 60);
    QList<double> expected;
    for (int j = first; j <= last; j += 12)
        expected << j;
    QList<double> found;
    for (const ChartLine& l : plan.lines) {
        if (l.colour == Rgb(223, 223, 223) && l.x1 == l.x2) {
            QCOMPARE(l.x2, l.x1);
            QCOMPARE(l.y1, 0.0);
            QCOMPARE(l.y2, 3000.0);
            found << l.x1;
        }
    }
    QCOMPARE(found, expected);
}

void TestSavingsChart::markerAndBarsInDrawingOrder()
{
    std::vector<double> totals(121);
    for (std::size_t i = 0; i < totals.size(); ++i)
        totals[i] = 100.0 * double(i % 12) + 600;
    const ChartPlan plan = MakeChartPlan(totals, 600, 120, 6, 7);
    // 1700 is the largest total: grid 0 to 2000, ten Januaries, one marker, two lines a bar.
    QCOMPARE(plan.chartTop, 2000);
    QCOMPARE(int(plan.lines.size()), 3 + 10 + 1 + 2 * 121);

    const ChartLine& marker = plan.lines[13];
    QCOMPARE(marker.colour, Rgb(0, 255, 0));
    QCOMPARE(marker.x1, 7.0);
    QCOMPARE(marker.x2, 7.0);
    QCOMPARE(marker.y1, 0.0);
    QCOMPARE(marker.y2, 2000.0);

    for (int i = 0; i <= 120; ++i) {
        const ChartLine& bar = plan.lines[std::size_t(14 + 2 * i)];
        const ChartLine& freed = plan.lines[std::size_t(15 + 2 * i)];
        QCOMPARE(bar.colour, Rgb(0, 0, 0));
        QCOMPARE(bar.x1, double(i));
        QCOMPARE(bar.y1, 0.0);
        QCOMPARE(bar.y2, totals[std::size_t(i)]);
        QCOMPARE(freed.colour, Rgb(255, 0, 0));
        QCOMPARE(freed.x1, double(i));
        QCOMPARE(freed.y2, 600.0);
    }
}

void TestSavingsChart::hugeTotalsStillGetAGrid_data()
{
    QTest::addColumn<double>("largest");
    QTest::addColumn<qint64>("chartTop");
    QTest::newRow("ten million") << 1e7 << qint64(10000000);
    QTest::newRow("a thousand billion") << 1e12 - 1 << qint64(1000000000000);
    QTest::newRow("beyond any budget") << 1e300 << qint64(1000000000000000);
}

void TestSavingsChart::hugeTotalsStillGetAGrid()
{
    QFETCH(double, largest);
    QFETCH(qint64, chartTop);
    const double freed = largest / 2;
    const ChartPlan plan = MakeChartPlan(Totals(120, largest), freed, 120, 6, 0);
    QCOMPARE(plan.gridStep, 1000);
    QCOMPARE(plan.chartTop, chartTop);
    const auto grid = Grid(plan);
    // Denser than any screen can show, the lines are thinned out, still from 0 to the top.
    QVERIFY(grid.size() > 1000);
    QVERIFY(grid.size() <= 4097);
    QCOMPARE(grid.front().y1, 0.0);
    QVERIFY(grid.back().y1 <= double(chartTop));
    QVERIFY(grid.back().y1 > double(chartTop) * 0.999);
    // Pink below the freed money, grey from it upwards.
    for (const ChartLine& l : grid)
        QCOMPARE(l.colour, l.y1 < freed ? Rgb(255, 234, 236) : Rgb(223, 223, 223));
}

void TestSavingsChart::widgetShowsPlanAndToolTip()
{
    SavingsChart chart;
    QVERIFY(chart.toolTip().endsWith(QStringLiteral("Horizontal lines are $1000.")));
    chart.setPlan(MakeChartPlan(Totals(120, 50), 0, 120, 6, 0));
    QVERIFY(chart.toolTip().endsWith(QStringLiteral("Horizontal lines are $100.")));
    QCOMPARE(chart.plan().chartTop, 100);
}

// 240 months on the window's 597 pixels: every month keeps a black column of its own.
void TestSavingsChart::barsStaySeparateAt240Months()
{
    SavingsChart chart;
    chart.resize(597, 85);
    chart.setPlan(MakeChartPlan(std::vector<double>(241, 1000.0), 0, 240, 6, 0));
    const QImage image = chart.grab().toImage();
    int blackColumns = 0;
    bool previousBlack = false;
    int runs = 0;
    for (int x = 0; x < image.width(); ++x) {
        bool black = false;
        for (int y = 0; y < image.height(); ++y)
            black = black || image.pixelColor(x, y) == Qt::black;
        blackColumns += black;
        runs += black && !previousBlack;
        previousBlack = black;
    }
    QCOMPARE(blackColumns, 241);
    QCOMPARE(runs, 241);
}

void TestSavingsChart::gridLinesAreOnePixelHigh()
{
    SavingsChart chart;
    chart.resize(597, 85);
    chart.setPlan(MakeChartPlan(Totals(120, 2500), 0, 120, 6, 60));
    const QImage image = chart.grab().toImage();
    // Left of month 0 only the grid is drawn: four lines, each one pixel high, apart.
    int lineRows = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(1, y);
        if (c != Qt::white) {
            QCOMPARE(c, Rgb(223, 223, 223));
            ++lineRows;
            QVERIFY(y + 1 >= image.height() || image.pixelColor(1, y + 1) == Qt::white);
        }
    }
    QCOMPARE(lineRows, 4);
}

QTEST_MAIN(TestSavingsChart)
#include "tst_savingschart.moc"
