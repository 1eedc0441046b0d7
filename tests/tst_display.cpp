// What the windows show and how a keyboard or screen reader reaches it: the savings chart's
// plan (grid, Januaries, marker, bars) and its pixels, every control inside its window and
// clear of the others, and the Tab walk through every window with the name and the
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

QString Accessible(QWidget* widget, QAccessible::Text which)
{
    return QAccessible::queryAccessibleInterface(widget)->text(which);
}

} // namespace

class TestDisplay : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;
    std::unique_ptr<QWidget> make(const QString& window)
    {
        if (window == "frmMain")
            return std::make_unique<MainWindow>(*f->app);
        if (window == "frmAdd")
            return std::make_unique<AddRecordDialog>(*f->app);
        if (window == "frmIntro")
            return std::make_unique<IntroDialog>(*f->app);
        if (window == "frmEdit")
            return std::make_unique<EntryListDialog>(*f->app);
        if (window == "frmChange")
            return std::make_unique<EditRecordDialog>(*f->app, 1);
        return std::make_unique<ChangeAmountDialog>(3, 100.0);
    }

private slots:
    void init()
    {
        f = std::make_unique<tu::Fixture>();
        QVERIFY(f->open("Rent|Sub|2026-06-01|950.00|1\r\nCar|Sub|2026-03-01|1,200.00|12\r\n"));
    }
    void cleanup() { f.reset(); }

    void grid_data()
    {
        QTest::addColumn<double>("largest");
        QTest::addColumn<double>("freed");
        QTest::addColumn<QString>("grid"); // step, top, lines (0: thinned out), pink lines
        QTest::newRow("999.99: every 100") << 999.99 << 0.0 << "100 1000 11 0";
        QTest::newRow("exactly 100") << 100.0 << 0.0 << "100 100 2 0";
        QTest::newRow("exactly 1000") << 1000.0 << 0.0 << "1000 1000 2 0";
        QTest::newRow("just above 1000") << 1000.01 << 0.0 << "1000 2000 3 0";
        QTest::newRow("2500, 600 freed") << 2500.0 << 600.0 << "1000 3000 4 1";
        QTest::newRow("freed 2000: the line at 2000 is not below")
            << 2500.0 << 2000.0 << "1000 3000 4 2";
        QTest::newRow("all zero") << 0.0 << 0.0 << "100 0 1 0";
        QTest::newRow("beyond 16 bits") << 39000.5 << 0.0 << "1000 40000 41 0";
        // Denser than any screen can show, the lines are thinned out, still from 0 to the top.
        QTest::newRow("ten million") << 1e7 << 5e6 << "1000 10000000 0 0";
        QTest::newRow("beyond any budget") << 1e300 << 1e300 << "1000 1000000000000000 0 0";
    }
    void grid()
    {
        QFETCH(double, largest);
        QFETCH(double, freed);
        QFETCH(QString, grid);
        std::vector<double> totals(241, 0.0);
        totals[120] = largest;
        const ChartPlan plan = MakeChartPlan(totals, freed, 240, 6, 0);
        const QStringList want = grid.split(' ');
        QCOMPARE(QStringLiteral("%1 %2").arg(plan.gridStep).arg(plan.chartTop),
                 want[0] + " " + want[1]);
        QVERIFY(plan.toolTip.endsWith("$" + want[0] + "."));
        QCOMPARE((QList<double>{plan.left, plan.top, plan.right, plan.bottom}),
                 (QList<double>{-2, want[1].toDouble() + 10, 242, -10}));
        QList<double> ys;
        for (const ChartLine& l : plan.lines) {
            if (l.y1 != l.y2 || l.x1 != -2 || l.x2 != 242)
                continue;
            QCOMPARE(l.colour, l.y1 < freed ? chartcolours::Pink : chartcolours::Grey);
            ys << l.y1;
        }
        QVERIFY(ys.front() == 0 && std::is_sorted(ys.begin(), ys.end()) &&
                ys.back() <= want[1].toDouble());
        if (want[2] == "0")
            QVERIFY(ys.size() > 1000 && ys.size() <= 4097 &&
                    ys.back() > want[1].toDouble() * 0.999);
        else
            QCOMPARE(QStringLiteral("%1 %2").arg(ys.size()).arg(std::count_if(
                         ys.begin(), ys.end(), [freed](double y) { return y < freed; })),
                     want[2] + " " + want[3]);
    }

    // Grid, grey Januaries, the green marker, then each month's bar in black with the freed
    // money in red over it.
    void linesInDrawingOrder()
    {
        std::vector<double> totals(121);
        for (std::size_t i = 0; i < totals.size(); ++i)
            totals[i] = 100.0 * double(i % 12) + 600;                       // the largest is 1700
        const std::pair<int, int> januaries[] = {{12, 1}, {1, 12}, {6, 7}}; // today's month, first
        for (const auto& [todayMonth, firstJanuary] : januaries) {
            const ChartPlan plan = MakeChartPlan(totals, 600, 120, todayMonth, 7);
            std::vector<ChartLine> want;
            for (const int y : {0, 1000, 2000})
                want.push_back({-2, double(y), 122, double(y),
                                y < 600 ? chartcolours::Pink : chartcolours::Grey});
            for (int j = firstJanuary; j <= 120; j += 12) // none at offset 0, even in January
                want.push_back({double(j), 0, double(j), 2000, chartcolours::Grey});
            want.push_back({7, 0, 7, 2000, chartcolours::Marker});
            for (int i = 0; i <= 120; ++i) {
                want.push_back(
                    {double(i), 0, double(i), totals[std::size_t(i)], chartcolours::Bar});
                want.push_back({double(i), 0, double(i), 600, chartcolours::Freed});
            }
            QCOMPARE(plan.lines.size(), want.size());
            for (std::size_t k = 0; k < want.size(); ++k) {
                const ChartLine &a = plan.lines[k], &b = want[k];
                QVERIFY2(a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 &&
                             a.colour == b.colour,
                         qPrintable(QString::number(k)));
            }
        }
    }

    // 240 months on the window's 597 pixels: each month keeps a black column of its own.
    // Left of month 0 only the grid is drawn, each line one pixel high.
    void pixels()
    {
        SavingsChart chart;
        chart.resize(597, 85);
        chart.setPlan(MakeChartPlan(std::vector<double>(241, 1000.0), 0, 240, 6, 0));
        QImage image = chart.grab().toImage();
        QString columns;
        for (int x = 0; x < image.width(); ++x) {
            bool black = false;
            for (int y = 0; y < image.height(); ++y)
                black = black || image.pixelColor(x, y) == Qt::black;
            columns += black ? 'b' : '.';
        }
        QVERIFY(columns.count('b') == 241 && !columns.contains("bb"));
        std::vector<double> totals(121, 0.0);
        totals[60] = 2500;
        chart.setPlan(MakeChartPlan(totals, 0, 120, 6, 60));
        image = chart.grab().toImage();
        QString rows;
        for (int y = 0; y < image.height(); ++y)
            rows += image.pixelColor(1, y) == Qt::white            ? '.'
                    : image.pixelColor(1, y) == chartcolours::Grey ? 'g'
                                                                   : 'x';
        QVERIFY2(rows.count('g') == 4 && !rows.contains("gg") && !rows.contains('x'),
                 qPrintable(rows));
    }

    void windows_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("names"); // from the first focus, in Tab order
        // At the current month the backward buttons are off, and so are Step, Pay and
        // Cancel until a due payment is selected.
        QTest::newRow("frmMain") << "frmMain"
                                 << QStringList{"Payments due in 2026-06", "Next Mon", "Next Yr",
                                                "Edit Entries", "Exit"};
        QTest::newRow("frmIntro") << "frmIntro" << QStringList{"Continue", "Exit"};
        // Leaving a box checks it, so the walk fills each box as a user would.
        QTest::newRow("frmAdd") << "frmAdd"
                                << QStringList{"Name=Rent", "Type=Sub",    "Date=2026-07-01",
                                               "Amount=45", "Duration=12", "Use this entry",
                                               "Finished"};
        // Only the chosen order takes the Tab; the arrow keys move between the orders.
        QTest::newRow("frmEdit") << "frmEdit"
                                 << QStringList{"Entries", "Name", "New entry", "Print", "Done"};
        QTest::newRow("frmChange")
            << "frmChange"
            << QStringList{"Name", "Type", "Date", "Amount", "Duration", "Accept", "Cancel"};
        QTest::newRow("ChangeAmountDialog")
            << "ChangeAmountDialog"
            << QStringList{"Change",
                           "NoChange",
                           "If you want to change the dollar amount for the payment due in 3 "
                           "months, enter it here",
                           "Add 5%",
                           "Add 10%",
                           "Add 15%",
                           "Add 20%",
                           "Add 25%",
                           "Check to reduce amount"};
    }
    // Tooltips are what a screen reader describes a stop with.
    void windows()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, names);
        const std::unique_ptr<QWidget> w = make(window);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QStringList walked;
        for (qsizetype i = 0; i <= names.size(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus && focus->window() == w.get());
            walked << Accessible(focus, QAccessible::Name);
            QVERIFY(focus->toolTip().isEmpty() ||
                    Accessible(focus, QAccessible::Description) == focus->toolTip());
            if (auto* box = qobject_cast<QLineEdit*>(focus); box && names.value(i).contains('='))
                QTest::keyClicks(box, names[i].section('=', 1));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        names.replaceInStrings(QRegularExpression("=.*"), "");
        QCOMPARE(walked, names + QStringList{names.front()}); // round to the first again
        // Every control lies inside its window, and none that takes clicks covers the
        // middle of another.
        QList<QRect> taken;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisibleTo(w.get()) || c->parentWidget()->inherits("QAbstractScrollArea"))
                continue;
            const QRect rect(c->mapTo(w.get(), QPoint(0, 0)), c->size());
            QVERIFY2(w->rect().contains(rect), qPrintable(c->objectName()));
            if (!qobject_cast<QAbstractButton*>(c) && !qobject_cast<QLineEdit*>(c) &&
                !qobject_cast<QListWidget*>(c))
                continue;
            for (const QRect& other : taken)
                QVERIFY2(!other.contains(rect.center()) && !rect.contains(other.center()),
                         qPrintable(c->objectName()));
            taken << rect;
        }
    }

    void chartDescribesTheFreedMoney()
    {
        MainWindow main(*f->app);
        // A yearly 1,200.00 due in March and a monthly payment: the pot is empty every March.
        QCOMPARE(
            Accessible(tu::Find(&main, "picGraph"), QAccessible::Description),
            QStringLiteral("Savings chart over 120 months: $.00 freed, largest total $1100.00."));
    }
};

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
