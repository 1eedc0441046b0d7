#pragma once
// The savings chart across the bottom of the main window: one bar per month of the
// horizon showing the money the pot must hold, the freed part of it in red, a grid every
// $100 or $1000, grey Januaries and a green marker at the displayed month.
//
// Drawing is split in two: MakeChartPlan turns the figures into a list of lines in the
// chart's own scale (x = month offset, y = dollars), which is what the tests check, and
// the widget maps that plan onto its pixels. Pointing works from the plan the same way:
// ChartBarAt finds the bar under a point and ChartBarTip says what it shows.

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

struct ChartLine
{
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    QColor colour;
};

struct ChartPlan
{
    // The scale: x runs from left at the left edge to right at the right edge, y from
    // top at the top edge down to bottom at the bottom edge.
    double left = -2;
    double top = 1010;
    double right = 122;
    double bottom = -10;
    // 64-bit so that totals far above 32,767 still get their grid.
    std::int64_t gridStep = 1000;
    std::int64_t chartTop = 0;
    QString toolTip;
    // What a screen reader says of the picture: the freed money and the largest total, in
    // the format of the main window's figures.
    QString description;
    // In drawing order; later lines cover earlier ones.
    std::vector<ChartLine> lines;
    // What pointing at bar i tells: its month, counted from todayDate's, its total and
    // the payments due in it. Without them a bar tells only the fixed tooltip.
    std::string todayDate;
    std::vector<double> totals;
    std::vector<double> dueSums;
};

namespace chartcolours {
inline const QColor Bar{0, 0, 0};
inline const QColor Freed{255, 0, 0};
inline const QColor Marker{0, 255, 0};
inline const QColor Grey{223, 223, 223};
inline const QColor Pink{255, 234, 236};
} // namespace chartcolours

// The tooltip for a given grid step.
QString ChartToolTip(std::int64_t gridStep);

// The drawing plan for the totals of month offsets 0 to horizonMonths; dueSums (the bills
// due at each offset) and todayDate give the bars their tips.
ChartPlan MakeChartPlan(const std::vector<double>& monthTotals, double freedAmount,
                        int horizonMonths, int todayMonth, int monthOffset,
                        const std::vector<double>& dueSums = {}, const std::string& todayDate = {});

// The month offset of the bar nearest to `point` of the chart drawn at `size` (logical
// pixels), or -1 in the margins beside the first and the last bar. A bar is one pixel
// wide; the whole column around it, half a month each way and top to bottom, points at it.
int ChartBarAt(const ChartPlan& plan, const QSize& size, const QPoint& point);
// "2027-03: the pot must hold 1,234.56 after 600.00 of payments due", then the fixed
// tooltip on its own line; the fixed tooltip alone for -1 or a plan without bar figures.
QString ChartBarTip(const ChartPlan& plan, int bar);

class SavingsChart : public QWidget
{
    Q_OBJECT
public:
    explicit SavingsChart(QWidget* parent = nullptr);

    // Replaces the picture and the tooltip.
    void setPlan(ChartPlan plan);
    const ChartPlan& plan() const { return plan_; }

signals:
    // A left click on a bar, pressed and released on the same one.
    void barClicked(int monthOffset);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void render(const QSize& pixels);

    ChartPlan plan_;
    bool drawn_ = false; // nothing to draw before the first plan
    int pressedBar_ = -1;
    QImage picture_; // the plan rendered at device pixels, redone when the plan or size changes
};
