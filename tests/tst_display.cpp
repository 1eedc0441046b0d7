// What the windows show and how a keyboard or screen reader reaches it: the savings chart's
// plan (grid, Januaries, marker, bars), every control inside its window, and the Tab walk through
// every window with the name and description of each stop.
#include "forms/addrecorddialog.h"
#include "forms/changeamountdialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "testutil.h"

#include <QAccessible>

class TestDisplay : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

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

    void windows_data()
    {
        QTest::addColumn<QString>("names"); // from the first focus, in Tab order
        const auto row = [](const char* window, const char* names) {
            QTest::newRow(window) << QString(names);
        };
        // At the current month the backward buttons are off, and so are Step, Pay and Cancel
        // until a due payment is selected.
        row("frmMain", "Payments due in 2026-06|Next Mon|Next Yr|Edit Entries|Exit");
        row("frmIntro", "Continue|Exit");
        // Leaving a box checks it, so the walk fills each box as a user would.
        row("frmAdd", "Name=Rent|Type=Sub|Date=2026-07-01|Amount=45|Duration=12|Use this "
                      "entry|Finished");
        // Only the chosen order takes the Tab; the arrow keys move between the orders.
        row("frmEdit", "Entries|Name|New entry|Print|Done");
        row("frmChange", "Name|Type|Date|Amount|Duration|Accept|Cancel");
        row("frmChangeDollar", "Change|NoChange|If you want to change the dollar amount for the "
                               "payment due in 3 months, enter it here|Add 5%|Add 10%|Add 15%|"
                               "Add 20%|Add 25%|Check to reduce amount");
    }
    // A screen reader describes a stop by its tooltip. Every control lies inside its window.
    void windows()
    {
        QFETCH(QString, names);
        QVERIFY(f->open("Rent|Sub|2026-06-01|950.00|1\r\nCar|Sub|2026-03-01|1,200.00|12\r\n"));
        const QString window = QTest::currentDataTag();
        std::unique_ptr<QWidget> w;
        if (window == "frmMain")
            w = std::make_unique<MainWindow>(*f->app);
        else if (window == "frmAdd")
            w = std::make_unique<AddRecordDialog>(*f->app);
        else if (window == "frmIntro")
            w = std::make_unique<IntroDialog>(*f->app);
        else if (window == "frmEdit")
            w = std::make_unique<EntryListDialog>(*f->app);
        else if (window == "frmChange")
            w = std::make_unique<EditRecordDialog>(*f->app, 1);
        else
            w = std::make_unique<ChangeAmountDialog>(3, 100.0);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const QStringList stops = names.split('|');
        QStringList walked;
        for (qsizetype i = 0; i <= stops.size(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(focus);
            walked << face->text(QAccessible::Name);
            QVERIFY(focus->toolTip().isEmpty() ||
                    face->text(QAccessible::Description) == focus->toolTip());
            if (auto* box = qobject_cast<QLineEdit*>(focus); box && stops.value(i).contains('='))
                QTest::keyClicks(box, stops[i].section('=', 1));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        names.replace(QRegularExpression("=[^|]*"), "");
        QCOMPARE(walked.join('|'), names + "|" + walked.front()); // round to the first again
        for (QWidget* c : w->findChildren<QWidget*>())
            QVERIFY2(!c->isVisibleTo(w.get()) ||
                         w->rect().contains(QRect(c->mapTo(w.get(), QPoint(0, 0)), c->size())),
                     qPrintable(c->objectName()));
        // The chart says what it shows: the pot is empty every March, before the yearly 1,200.
        if (window == "frmMain")
            QCOMPARE(QAccessible::queryAccessibleInterface(tu::Find(w.get(), "picGraph"))
                         ->text(QAccessible::Description),
                     QStringLiteral(
                         "Savings chart over 120 months: $.00 freed, largest total $1100.00."));
    }
};

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
