#include "forms/savingschart.h"

#include "budget/budget.h"
#include "core/numfmt.h"
#include "platform/accessible.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The grid keeps its $100 or $1000 step however large the totals get; only when its
// lines would lie closer together than any screen has pixels are every few of them drawn
// (the picture is the same: a band of solid colour).
constexpr std::int64_t kMostGridLines = 4096;

// Totals beyond this (a million billion dollars) cannot come from real payments; the
// chart is scaled to it and taller bars reach the top edge, so the grid arithmetic stays
// well inside 64 bits.
constexpr double kHighestChartTop = 1e15;

// The smallest multiple of step that is not below the largest total.
std::int64_t ChartTopFor(double largest, std::int64_t step)
{
    if (!(largest > 0))
        return 0;
    largest = std::min(largest, kHighestChartTop);
    auto top = static_cast<std::int64_t>(std::ceil(largest / double(step))) * step;
    while (double(top) < largest)
        top += step;
    while (top >= step && double(top - step) >= largest)
        top -= step;
    return top;
}

} // namespace

QString ChartToolTip(std::int64_t gridStep)
{
    return QStringLiteral("This is a graph of the total amount. January is in grey, "
                          "and the current month is in green.  Red represents money that "
                          "has been freed. Horizontal lines are $%1.")
        .arg(gridStep);
}

ChartPlan MakeChartPlan(const std::vector<double>& monthTotals, double freedAmount,
                        int horizonMonths, int todayMonth, int monthOffset,
                        const std::vector<double>& dueSums, const std::string& todayDate)
{
    ChartPlan plan;
    const int last = std::min<int>(horizonMonths, int(monthTotals.size()) - 1);
    plan.todayDate = todayDate;
    plan.totals.assign(monthTotals.begin(), monthTotals.begin() + std::max(last + 1, 0));
    plan.dueSums = dueSums;

    double largest = 0;
    for (int i = 0; i <= last; ++i) {
        if (monthTotals[std::size_t(i)] > largest)
            largest = monthTotals[std::size_t(i)];
    }
    plan.gridStep = largest >= 1000 ? 1000 : 100;
    plan.toolTip = ChartToolTip(plan.gridStep);
    plan.description = QStringLiteral("Over %1 months: %2 freed, largest total %3.")
                           .arg(horizonMonths)
                           .arg(QString::fromStdString(kestrow::FormatAmount(freedAmount)),
                                QString::fromStdString(kestrow::FormatAmount(largest)));
    plan.chartTop = ChartTopFor(largest, plan.gridStep);

    plan.left = -2;
    plan.top = double(plan.chartTop) + 10;
    plan.right = double(horizonMonths) + 2;
    plan.bottom = -10;

    const double top = double(plan.chartTop);
    auto line = [&plan](double x1, double y1, double x2, double y2, const QColor& colour) {
        plan.lines.push_back({x1, y1, x2, y2, colour});
    };

    std::int64_t drawStep = plan.gridStep;
    const std::int64_t gridLines = plan.chartTop / plan.gridStep + 1;
    if (gridLines > kMostGridLines)
        drawStep *= (gridLines + kMostGridLines - 1) / kMostGridLines;
    for (std::int64_t y = 0; y <= plan.chartTop; y += drawStep) {
        line(plan.left, double(y), plan.right, double(y),
             double(y) < freedAmount ? chartcolours::Pink : chartcolours::Grey);
    }

    // Offset 0 is the current month and is never marked, even when it is a January.
    const int firstJanuary = (((12 - todayMonth) % 12) + 12) % 12 + 1;
    for (int j = firstJanuary; j <= horizonMonths; j += 12)
        line(j, 0, j, top, chartcolours::Grey);

    line(monthOffset, 0, monthOffset, top, chartcolours::Marker);

    for (int i = 0; i <= last; ++i) {
        line(i, 0, i, monthTotals[std::size_t(i)], chartcolours::Bar);
        line(i, 0, i, freedAmount, chartcolours::Freed);
    }
    return plan;
}

int ChartBarAt(const ChartPlan& plan, const QSize& size, const QPoint& point)
{
    const double width = plan.right - plan.left;
    if (!QRect(QPoint(0, 0), size).contains(point) || !(width > 0))
        return -1;
    // The pixel's middle in the chart's scale; bar i stands at x = i.
    const double x = plan.left + (point.x() + 0.5) * width / size.width();
    const double bar = std::round(x);
    if (bar < 0 || bar >= double(plan.totals.size()))
        return -1;
    return int(bar);
}

QString ChartBarTip(const ChartPlan& plan, int bar)
{
    const auto at = std::size_t(bar);
    if (bar < 0 || at >= plan.totals.size() || at >= plan.dueSums.size() || plan.todayDate.empty())
        return plan.toolTip;
    return QStringLiteral("%1: the pot must hold %2 after %3 of payments due\n%4")
        .arg(QString::fromStdString(kestrow::ShownMonth(plan.todayDate, bar)),
             QString::fromStdString(kestrow::FormatAmount(plan.totals[at])),
             QString::fromStdString(kestrow::FormatAmount(plan.dueSums[at])), plan.toolTip);
}

SavingsChart::SavingsChart(QWidget* parent) : QWidget(parent)
{
    platform::SetAccessibleRole(this, QAccessible::Chart);
    setToolTip(ChartToolTip(1000));
    setAccessibleName(QStringLiteral("Savings chart"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A bar can be clicked to show its month.
    setCursor(Qt::PointingHandCursor);
}

bool SavingsChart::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int bar = ChartBarAt(plan_, size(), help->pos());
    // The tip goes as soon as the pointer leaves the bar's column (or, beside the bars, the
    // point), so the next bar pointed at is asked again.
    QRect area(help->pos(), QSize(1, 1));
    if (bar >= 0) {
        const double scale = width() / (plan_.right - plan_.left);
        const int from = int(std::floor((bar - 0.5 - plan_.left) * scale));
        const int to = int(std::ceil((bar + 0.5 - plan_.left) * scale));
        area = QRect(from, 0, std::max(to - from, 1), height());
    }
    QToolTip::showText(help->globalPos(), ChartBarTip(plan_, bar), this, area);
    return true;
}

void SavingsChart::mousePressEvent(QMouseEvent* event)
{
    pressedBar_ = event->button() == Qt::LeftButton
                      ? ChartBarAt(plan_, size(), event->position().toPoint())
                      : -1;
    QWidget::mousePressEvent(event);
}

void SavingsChart::mouseReleaseEvent(QMouseEvent* event)
{
    const int bar = event->button() == Qt::LeftButton
                        ? ChartBarAt(plan_, size(), event->position().toPoint())
                        : -1;
    const int pressed = std::exchange(pressedBar_, -1);
    QWidget::mouseReleaseEvent(event);
    if (bar >= 0 && bar == pressed)
        emit barClicked(bar);
}

void SavingsChart::setPlan(ChartPlan plan)
{
    plan_ = std::move(plan);
    drawn_ = true;
    picture_ = QImage();
    setToolTip(plan_.toolTip);
    setAccessibleDescription(plan_.description);
    update();
}

void SavingsChart::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(qRound(width() * ratio), qRound(height() * ratio));
    if (picture_.size() != pixels)
        render(pixels);
    picture_.setDevicePixelRatio(ratio);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), picture_);
}

// Lines are drawn at whole device pixels, one pixel wide, without antialiasing: at 240
// months and more a month is only two or three pixels wide, and a blurred or scaled pen
// would smear neighbouring bars into one another.
void SavingsChart::render(const QSize& pixels)
{
    picture_ = QImage(pixels, QImage::Format_RGB32);
    picture_.fill(Qt::white);
    if (!drawn_ || pixels.isEmpty())
        return;

    const double width = plan_.right - plan_.left;
    const double height = plan_.top - plan_.bottom;
    if (!(width > 0) || !(height > 0))
        return;
    auto column = [&](double x) {
        const double px = std::floor((x - plan_.left) / width * pixels.width());
        return int(std::clamp(px, 0.0, double(pixels.width() - 1)));
    };
    auto row = [&](double y) {
        const double py = std::floor((plan_.top - y) / height * pixels.height());
        if (std::isnan(py))
            return pixels.height() - 1;
        return int(std::clamp(py, 0.0, double(pixels.height() - 1)));
    };

    QPainter painter(&picture_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen;
    pen.setWidth(0);
    pen.setCosmetic(true);
    for (const ChartLine& l : plan_.lines) {
        pen.setColor(l.colour);
        painter.setPen(pen);
        painter.drawLine(QPoint(column(l.x1), row(l.y1)), QPoint(column(l.x2), row(l.y2)));
    }
}
