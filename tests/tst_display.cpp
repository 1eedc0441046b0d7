// What the windows show and how a keyboard or screen reader reaches it: the savings
// chart's plan (grid, Januaries, marker and bars) and its pixels, every control inside its
// window and clear of the others, and the Tab walk through every window with the name and
// description each stop offers.
#include "forms/addrecorddialog.h"
#include "forms/changeamountdialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QAccessible>

namespace {

std::vector<double> Peak(int horizon, double largest)
{
    std::vector<double> totals(std::size_t(horizon) + 1, 0.0);
    totals[std::size_t(horizon / 2)] = largest;
    return totals;
}

QString Accessible(QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(which) : QString();
}

std::unique_ptr<QWidget> Make(const QString& window, AppState& state)
{
    if (window == "frmMain")
        return std::make_unique<MainWindow>(state);
    if (window == "frmAdd")
        return std::make_unique<AddRecordDialog>(state);
    if (window == "frmIntro")
        return std::make_unique<IntroDialog>(state);
    if (window == "frmEdit")
        return std::make_unique<EntryListDialog>(state);
    if (window == "frmChange")
        return std::make_unique<EditRecordDialog>(state, 1);
    return std::make_unique<ChangeAmountDialog>(3, 100.0);
}

} // namespace

class TestDisplay : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<tu::Fixture>();
        QVERIFY(f->open("Rent|Sub|2026-06-01|950.00|1\r\nCar|Sub|2026-03-01|1,200.00|12\r\n"));
    }
    void cleanup() { f.reset(); }
    void grid_data();
    void grid();
    void linesInDrawingOrder_data();
    void linesInDrawingOrder();
    void pixels();
    void controlsInsideAndApart_data();
    void controlsInsideAndApart();
    void tabWalk_data();
    void tabWalk();
    void chartDescribesTheFreedMoney();

private:
    std::unique_ptr<tu::Fixture> f;
};

void TestDisplay::grid_data()
{
    QTest::addColumn<double>("largest");
    QTest::addColumn<double>("freed");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<qint64>("top");
    QTest::addColumn<int>("lines"); // horizontal, from 0 up to the top
    QTest::addColumn<int>("pink");  // the lowest ones, below the freed money
    QTest::newRow("999.99: every 100") << 999.99 << 0.0 << qint64(100) << qint64(1000) << 11 << 0;
    QTest::newRow("exactly 100") << 100.0 << 0.0 << qint64(100) << qint64(100) << 2 << 0;
    QTest::newRow("exactly 1000") << 1000.0 << 0.0 << qint64(1000) << qint64(1000) << 2 << 0;
    QTest::newRow("just above 1000") << 1000.01 << 0.0 << qint64(1000) << qint64(2000) << 3 << 0;
    QTest::newRow("2500, 600 freed") << 2500.0 << 600.0 << qint64(1000) << qint64(3000) << 4 << 1;
    QTest::newRow("freed 2000 is not below the line at 2000")
        << 2500.0 << 2000.0 << qint64(1000) << qint64(3000) << 4 << 2;
    QTest::newRow("all zero: one line") << 0.0 << 0.0 << qint64(100) << qint64(0) << 1 << 0;
    QTest::newRow("beyond 16 bits") << 39000.5 << 0.0 << qint64(1000) << qint64(40000) << 41 << 0;
    // Denser than any screen can show, the lines are thinned out, still from 0 to the top.
    QTest::newRow("ten million") << 1e7 << 5e6 << qint64(1000) << qint64(10000000) << 0 << 0;
    QTest::newRow("a thousand billion") << 1e12 - 1 << 0.0 << qint64(1000) << qint64(1000000000000)
                                        << 0 << 0;
    QTest::newRow("beyond any budget") << 1e300 << 1e300 << qint64(1000)
                                       << qint64(1000000000000000) << 0 << 0;
}

void TestDisplay::grid()
{
    QFETCH(double, largest);
    QFETCH(double, freed);
    QFETCH(qint64, step);
    QFETCH(qint64, top);
    QFETCH(int, lines);
    QFETCH(int, pink);
    const ChartPlan plan = MakeChartPlan(Peak(240, largest), freed, 240, 6, 0);
    QCOMPARE(plan.gridStep, step);
    QCOMPARE(plan.chartTop, top);
    QVERIFY(plan.toolTip.endsWith(QStringLiteral("$%1.").arg(step)));
    QCOMPARE((QList<double>{plan.left, plan.top, plan.right, plan.bottom}),
             (QList<double>{-2, double(top) + 10, 242, -10}));
    QList<double> ys;
    int pinkSeen = 0;
    for (const ChartLine& l : plan.lines) {
        if (l.y1 != l.y2 || l.x1 == l.x2)
            continue;
        QVERIFY(l.x1 == -2 && l.x2 == 242);
        QCOMPARE(l.colour, l.y1 < freed ? chartcolours::Pink : chartcolours::Grey);
        pinkSeen += l.colour == chartcolours::Pink;
        ys << l.y1;
    }
    QCOMPARE(ys.front(), 0.0);
    QVERIFY(std::is_sorted(ys.begin(), ys.end()));
    if (lines > 0) {
        QCOMPARE(ys.size(), lines);
        QCOMPARE(ys.back(), double(top));
        QCOMPARE(pinkSeen, pink);
    } else {
        QVERIFY(ys.size() > 1000 && ys.size() <= 4097);
        QVERIFY(ys.back() <= double(top) && ys.back() > double(top) * 0.999);
    }
}

void TestDisplay::linesInDrawingOrder_data()
{
    QTest::addColumn<int>("todayMonth");
    QTest::addColumn<int>("firstJanuary"); // the month offset of the first January drawn
    QTest::newRow("December") << 12 << 1;
    QTest::newRow("January, not marked at offset 0") << 1 << 12;
    QTest::newRow("June") << 6 << 7;
}

// Grid, grey Januaries, the green marker, then each month's bar in black with the freed
// money in red over it.
void TestDisplay::linesInDrawingOrder()
{
    QFETCH(int, todayMonth);
    QFETCH(int, firstJanuary);
    std::vector<double> totals(121);
    for (std::size_t i = 0; i < totals.size(); ++i)
        totals[i] = 100.0 * double(i % 12) + 600;
    const ChartPlan plan = MakeChartPlan(totals, 600, 120, todayMonth, 7);
    QCOMPARE(plan.chartTop, 2000); // the largest total is 1700
    std::vector<ChartLine> expected;
    for (int y = 0; y <= 2000; y += 1000)
        expected.push_back({-2, double(y), 122, double(y), y < 600 ? chartcolours::Pink : chartcolours::Grey});
    for (int j = firstJanuary; j <= 120; j += 12)
        expected.push_back({double(j), 0, double(j), 2000, chartcolours::Grey});
    expected.push_back({7, 0, 7, 2000, chartcolours::Marker});
    for (int i = 0; i <= 120; ++i) {
        expected.push_back({double(i), 0, double(i), totals[std::size_t(i)], chartcolours::Bar});
        expected.push_back({double(i), 0, double(i), 600, chartcolours::Freed});
    }
    QCOMPARE(plan.lines.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const ChartLine& a = plan.lines[k];
        const ChartLine& b = expected[k];
        QVERIFY2(a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 && a.colour == b.colour,
                 qPrintable(QString::number(k)));
    }
}

// 240 months on the window's 597 pixels: each month keeps a black column of its own, and
// the grid lines are one pixel high.
void TestDisplay::pixels()
{
    SavingsChart chart;
    chart.resize(597, 85);
    chart.setPlan(MakeChartPlan(std::vector<double>(241, 1000.0), 0, 240, 6, 0));
    QImage image = chart.grab().toImage();
    int columns = 0, runs = 0;
    for (int x = 0, before = 0; x < image.width(); ++x) {
        int black = 0;
        for (int y = 0; y < image.height(); ++y)
            black |= image.pixelColor(x, y) == Qt::black;
        columns += black;
        runs += black && !before;
        before = black;
    }
    QCOMPARE(columns, 241);
    QCOMPARE(runs, 241);
    chart.setPlan(MakeChartPlan(Peak(120, 2500), 0, 120, 6, 60));
    image = chart.grab().toImage();
    int rows = 0; // left of month 0 only the grid is drawn
    for (int y = 0; y < image.height(); ++y) {
        if (image.pixelColor(1, y) == Qt::white)
            continue;
        ++rows;
        QCOMPARE(image.pixelColor(1, y), chartcolours::Grey);
        QVERIFY(y + 1 == image.height() || image.pixelColor(1, y + 1) == Qt::white);
    }
    QCOMPARE(rows, 4);
}

void TestDisplay::controlsInsideAndApart_data()
{
    QTest::addColumn<QString>("window");
    for (const char* name :
         {"frmMain", "frmIntro", "frmAdd", "frmEdit", "frmChange", "ChangeAmountDialog"})
        QTest::newRow(name) << QString(name);
}

// Every control lies inside its window, and none that takes clicks covers the middle of
// another.
void TestDisplay::controlsInsideAndApart()
{
    QFETCH(QString, window);
    const std::unique_ptr<QWidget> w = Make(window, f->state());
    w->show();
    QList<QRect> taken;
    for (QWidget* child : w->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(w.get()) || child->window() != w.get() ||
            child->parentWidget()->inherits("QAbstractScrollArea"))
            continue;
        const QRect rect(child->mapTo(w.get(), QPoint(0, 0)), child->size());
        QVERIFY2(w->rect().contains(rect), qPrintable(child->objectName()));
        if (!qobject_cast<QAbstractButton*>(child) && !qobject_cast<QLineEdit*>(child) &&
            !qobject_cast<QListWidget*>(child))
            continue;
        for (const QRect& other : taken)
            QVERIFY2(!other.contains(rect.center()) && !rect.contains(other.center()),
                     qPrintable(child->objectName()));
        taken << rect;
    }
    QVERIFY(taken.size() >= 2);
}

void TestDisplay::tabWalk_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("names"); // from the first focus, in Tab order
    QTest::addColumn<QStringList>("typed"); // into each box on the way, as far as given
    // At the current month the backward buttons are off, and so are Step, Pay and Cancel
    // until a due payment is selected.
    QTest::newRow("main window") << "frmMain"
                                 << QStringList{"Payments due in 2026-06", "Next Mon", "Next Yr",
                                                "Edit Entries", "Exit"}
                                 << QStringList();
    QTest::newRow("introduction") << "frmIntro" << QStringList{"Continue", "Exit"} << QStringList();
    // Leaving a box checks it, so the walk fills each box as a user would.
    QTest::newRow("add form") << "frmAdd"
                              << QStringList{"Name", "Type", "Date", "Amount", "Duration",
                                             "Use this entry", "Finished"}
                              << QStringList{"Rent", "Sub", "2026-07-01", "45", "12"};
    // Only the chosen order takes the Tab; the arrow keys move between the orders.
    QTest::newRow("entry list") << "frmEdit"
                                << QStringList{"Entries", "Name", "New entry", "Print", "Done"}
                                << QStringList();
    QTest::newRow("edit form") << "frmChange"
                               << QStringList{"Name", "Type", "Date", "Amount", "Duration",
                                              "Accept", "Cancel"}
                               << QStringList();
    QTest::newRow("change amount")
        << "ChangeAmountDialog"
        << QStringList{"Change", "NoChange",
                       "If you want to change the dollar amount for the payment due in 3 months, "
                       "enter it here",
                       "Add 5%", "Add 10%", "Add 15%", "Add 20%", "Add 25%",
                       "Check to reduce amount"}
        << QStringList();
}

void TestDisplay::tabWalk()
{
    QFETCH(QString, window);
    QFETCH(QStringList, names);
    QFETCH(QStringList, typed);
    const std::unique_ptr<QWidget> w = Make(window, f->state());
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QStringList walked;
    for (qsizetype i = 0; i <= names.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr && focus->window() == w.get());
        walked << Accessible(focus, QAccessible::Name);
        // Tooltips are what a screen reader describes the control with.
        QVERIFY(focus->toolTip().isEmpty() ||
                Accessible(focus, QAccessible::Description) == focus->toolTip());
        if (auto* box = qobject_cast<QLineEdit*>(focus); box && i < typed.size())
            QTest::keyClicks(box, typed[i]);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(walked, names + QStringList{names.front()}); // round to the first again
    if (auto* dialog = qobject_cast<QDialog*>(w.get()))
        dialog->done(QDialog::Rejected);
}

void TestDisplay::chartDescribesTheFreedMoney()
{
    MainWindow main(f->state());
    // A yearly 1,200.00 due in March and a monthly payment: the pot is empty every March.
    const QString description =
        Accessible(tu::Find(&main, "picGraph"), QAccessible::Description);
    QVERIFY2(description.contains("$.00 freed") && description.contains("largest total $1100.00"),
             qPrintable(description));
}

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
