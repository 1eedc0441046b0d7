// The savings chart's plan: the grid, grey Januaries, the marker of the month shown, and
// each month's bar with the freed money over it, in drawing order. (What a screen reader
// says of the chart is checked with the main window.)
#include "forms/savingschart.h"

#include <QtTest>

class TestChart : public QObject
{
    Q_OBJECT
private slots:
    // Grid lines (pink below the freed money), grey Januaries (none at offset 0), the green
    // marker, then each month's bar in black with the freed money in red over it.
    void linesInDrawingOrder()
    {
        std::vector<double> totals(121);
        for (std::size_t i = 0; i < totals.size(); ++i)
            totals[i] = 100.0 * double(i % 12) + 600; // the largest is 1700
        for (const int month : {1, 6, 12}) {
            std::vector<ChartLine> want;
            for (const int y : {0, 1000, 2000})
                want.push_back({-2, double(y), 122, double(y),
                                y < 600 ? chartcolours::Pink : chartcolours::Grey});
            for (int j = 13 - month; j <= 120; j += 12)
                want.push_back({double(j), 0, double(j), 2000, chartcolours::Grey});
            want.push_back({7, 0, 7, 2000, chartcolours::Marker});
            for (int i = 0; i <= 120; ++i) {
                want.push_back(
                    {double(i), 0, double(i), totals[std::size_t(i)], chartcolours::Bar});
                want.push_back({double(i), 0, double(i), 600, chartcolours::Freed});
            }
            const ChartPlan plan = MakeChartPlan(totals, 600, 120, month, 7);
            QVERIFY(plan.lines.size() == want.size() && plan.top == 2010 && plan.right == 122);
            for (std::size_t k = 0; k < want.size(); ++k) {
                const ChartLine &a = plan.lines[k], &b = want[k];
                QVERIFY2(a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 &&
                             a.colour == b.colour,
                         qPrintable(QString::number(k)));
            }
        }
    }

    // The grid's step, top and number of lines for the largest total: finer below 1,000;
    // denser than a screen can show, it is thinned out, still from 0 to the top.
    void grid()
    {
        const std::pair<double, const char*> cases[] = {{0, "100 0 1"},
                                                        {999.99, "100 1000 11"},
                                                        {1000, "1000 1000 2"},
                                                        {39000.5, "1000 40000 41"},
                                                        {1e300, "1000 1000000000000000 4096"}};
        for (const auto& [largest, grid] : cases) {
            std::vector<double> totals(241, 0.0);
            totals[120] = largest;
            const ChartPlan plan = MakeChartPlan(totals, 0, 240, 6, 0);
            const auto lines = std::count_if(plan.lines.begin(), plan.lines.end(),
                                             [&](const ChartLine& l) { return l.x1 == plan.left; });
            QCOMPARE(QStringLiteral("%1 %2 %3").arg(plan.gridStep).arg(plan.chartTop).arg(lines),
                     grid);
            QVERIFY(plan.toolTip.endsWith(QStringLiteral("$%1.").arg(plan.gridStep)));
        }
    }
};

QTEST_GUILESS_MAIN(TestChart)
#include "tst_chart.moc"
