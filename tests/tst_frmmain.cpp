// The main window as the user sees it: the first display, the figures and due payments
// of the displayed month, month navigation, the selection rule, the chart and leaving.
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "mainwindow_testutil.h"
#include "teststate.h"

#include <QLabel>
#include <QPushButton>

using namespace mainwindowtest;

namespace {

const QByteArray kTwoYearly = "Insurance|Sub|2026-06-01|1,200.00|12\r\n"
                              "Tax|Sub|2026-12-01|1,200.00|12\r\n";

const QByteArray kMonthly = "Paper|Sub|2026-03-01|50.00|1\r\n";

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void firstDisplay();
    void enabledStatesWhileNavigating_data();
    void enabledStatesWhileNavigating();
    void prevYearFromTwelveReturnsToNow();
    void nextMonthCarriesDecemberIntoJanuary();
    void nowReturnsToTheCurrentMonth();
    void selectionEnablesStepOnlyAtOffsetZero();
    void selectionIsLostOnNavigation();
    void navigationLeavesTheFileUntouched();
    void figuresAndDueLines_data();
    void figuresAndDueLines();
    void dueEntriesInTextOrderWithTheirRecordNumbers_data();
    void dueEntriesInTextOrderWithTheirRecordNumbers();
    void emptyDataFile();
    void unusableLinesAreLeftOut();
    void chartFollowsTheFiguresAndTheDisplayedMonth();
    void enterOpensTheEntriesAndTheWindowRefreshesAfter();
    void leaving_data();
    void leaving();

private:
    Session session;
    void goTo(MainWindow& w, int offset);
};

void TestMainWindow::cleanup()
{
    session.stop();
}

void TestMainWindow::goTo(MainWindow& w, int offset)
{
    while (w.monthOffset() + 12 <= offset && w.cmdNextYr->isEnabled())
        QTest::mouseClick(w.cmdNextYr, Qt::LeftButton);
    while (w.monthOffset() < offset && w.cmdNext->isEnabled())
        QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    QCOMPARE(int(w.monthOffset()), offset);
}

void TestMainWindow::firstDisplay()
{
    QVERIFY(session.start(kTwoYearly));
    MainWindow w(teststate::State());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Kestrow Budget Calculator"));
    QCOMPARE(w.size(), QSize(611, 295));
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2026-06"));
    QCOMPARE(int(w.monthOffset()), 0);
    for (QPushButton* off : {w.cmdStep, w.cmdPay, w.cmdNoPay, w.cmdPrev, w.cmdPrevYr, w.cmdZero})
        QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
    for (QPushButton* on : {w.cmdNext, w.cmdNextYr, w.cmdEdit, w.cmdExit})
        QVERIFY2(on->isEnabled(), qPrintable(on->objectName()));
    QVERIFY(w.cmdEdit->isDefault());
    QCOMPARE(w.lstDue->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(QFontInfo(w.lstDue->font()).fixedPitch());
}

void TestMainWindow::enabledStatesWhileNavigating_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("prev");
    QTest::addColumn<bool>("prevYr");
    QTest::addColumn<bool>("now");
    QTest::addColumn<bool>("next");
    QTest::addColumn<bool>("nextYr");
    QTest::newRow("0") << 0 << false << false << false << true << true;
    QTest::newRow("11") << 11 << true << false << true << true << true;
    QTest::newRow("12") << 12 << true << true << true << true << true;
    QTest::newRow("108") << 108 << true << true << true << true << true;
    QTest::newRow("109") << 109 << true << true << true << true << false;
    QTest::newRow("120") << 120 << true << true << true << false << false;
}

void TestMainWindow::enabledStatesWhileNavigating()
{
    QFETCH(int, offset);
    QFETCH(bool, prev);
    QFETCH(bool, prevYr);
    QFETCH(bool, now);
    QFETCH(bool, next);
    QFETCH(bool, nextYr);
    QVERIFY(session.start(kTwoYearly));
    QCOMPARE(int(teststate::State().horizonMonths()), 120);
    MainWindow w(teststate::State());
    w.show();
    goTo(w, offset);
    QCOMPARE(w.cmdPrev->isEnabled(), prev);
    QCOMPARE(w.cmdPrevYr->isEnabled(), prevYr);
    QCOMPARE(w.cmdZero->isEnabled(), now);
    QCOMPARE(w.cmdNext->isEnabled(), next);
    QCOMPARE(w.cmdNextYr->isEnabled(), nextYr);
    // A disabled button does nothing when clicked.
    QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    QCOMPARE(int(w.monthOffset()), next ? offset + 1 : offset);
}

void TestMainWindow::prevYearFromTwelveReturnsToNow()
{
    QVERIFY(session.start(kTwoYearly));
    MainWindow w(teststate::State());
    w.show();
    goTo(w, 12);
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2027-06"));
    QTest::mouseClick(w.cmdPrevYr, Qt::LeftButton);
    QCOMPARE(int(w.monthOffset()), 0);
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2026-06"));
    QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    QTest::mouseClick(w.cmdPrev, Qt::LeftButton);
    QCOMPARE(int(w.monthOffset()), 0);
    QVERIFY(!w.cmdPrev->isEnabled());
}

void TestMainWindow::nextMonthCarriesDecemberIntoJanuary()
{
    QVERIFY(session.start(kTwoYearly));
    MainWindow w(teststate::State());
    w.show();
    goTo(w, 6);
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2026-12"));
    QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2027-01"));
}

void TestMainWindow::nowReturnsToTheCurrentMonth()
{
    QVERIFY(session.start(kTwoYearly));
    MainWindow w(teststate::State());
    w.show();
    goTo(w, 37);
    QTest::mouseClick(w.cmdZero, Qt::LeftButton);
    QCOMPARE(int(w.monthOffset()), 0);
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2026-06"));
    QVERIFY(!w.cmdPrev->isEnabled());
    QVERIFY(!w.cmdPrevYr->isEnabled());
    QVERIFY(!w.cmdZero->isEnabled());
    QCOMPARE(Rows(w.lstDue).size(), 1);
}

void TestMainWindow::selectionEnablesStepOnlyAtOffsetZero()
{
    QVERIFY(session.start(kMonthly));
    MainWindow w(teststate::State());
    w.show();
    ClickRow(w.lstDue, 0);
    QVERIFY(w.cmdStep->isEnabled());
    QVERIFY(w.cmdPay->isEnabled());
    QVERIFY(w.cmdNoPay->isEnabled());

    QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    ClickRow(w.lstDue, 0);
    QVERIFY(!w.cmdStep->isEnabled());
    QVERIFY(w.cmdPay->isEnabled());
    QVERIFY(w.cmdNoPay->isEnabled());

    // Cancel clears the selection and with it the three buttons.
    QTest::mouseClick(w.cmdNoPay, Qt::LeftButton);
    QVERIFY(w.lstDue->selectedItems().isEmpty());
    QVERIFY(!w.cmdPay->isEnabled());
    QVERIFY(!w.cmdNoPay->isEnabled());
}

void TestMainWindow::selectionIsLostOnNavigation()
{
    QVERIFY(session.start(kMonthly));
    MainWindow w(teststate::State());
    w.show();
    for (QPushButton* nav : {w.cmdNext, w.cmdPrev, w.cmdNextYr, w.cmdZero}) {
        ClickRow(w.lstDue, 0);
        QVERIFY(w.cmdPay->isEnabled());
        QTest::mouseClick(nav, Qt::LeftButton);
        QVERIFY2(w.lstDue->selectedItems().isEmpty(), qPrintable(nav->objectName()));
        QVERIFY(!w.cmdPay->isEnabled());
        QVERIFY(!w.cmdNoPay->isEnabled());
        QVERIFY(!w.cmdStep->isEnabled());
        QCOMPARE(w.lstDue->count(), 1);
    }
}

void TestMainWindow::navigationLeavesTheFileUntouched()
{
    // Old single-byte text, a name in UTF-8, a line that is no payment, and no line end at
    // the end: all of it shown or skipped, none of it rewritten.
    const QByteArray contents = "Cr\xe8me|Sub|2026-06-01|6|1\r\n"
                                "Caf\xc3\xa9|Sub|2026-06-01|5|1\r\n"
                                "not a payment\r\n"
                                "Tax|Sub|2026-12-01|1,200.00|12";
    QVERIFY(session.start(contents));
    MainWindow w(teststate::State());
    w.show();
    QCOMPARE(Rows(w.lstDue), (QStringList{QStringLiteral("2026-06-01     5.00  Sub  Caf\u00e9"),
                                          QStringLiteral("2026-06-01     6.00  Sub  Cr\u00e8me")}));
    goTo(w, 30);
    QTest::mouseClick(w.cmdPrev, Qt::LeftButton);
    QTest::mouseClick(w.cmdPrevYr, Qt::LeftButton);
    QTest::mouseClick(w.cmdZero, Qt::LeftButton);
    ClickRow(w.lstDue, 1);
    QTest::mouseClick(w.cmdNoPay, Qt::LeftButton);
    QCOMPARE(session.bytes(), contents);
    QVERIFY(!QFile::exists(QString::fromStdString(session.tempFile)));
    QVERIFY(platform::MessageTestHook::takeShown().isEmpty());
}

void TestMainWindow::figuresAndDueLines_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QStringList>("figures"); // lab1 to lab4, labE, labF
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("two yearly, now") << kTwoYearly << 0 << QStringList{"200.00 ",
                                                                       "1,200.00 ",
                                                                       "1,200.00 ",
                                                                       ".00 ",
                                                                       "Payments due in 2026-06",
                                                                       "Graph: $600.00 freed"}
                                     << QStringList{"2026-06-01 1,200.00  Sub  Insurance"};
    QTest::newRow("two yearly, offset 3")
        << kTwoYearly << 3 << QStringList{"200.00 ",
                                          "600.00 ",
                                          ".00 ",
                                          "600.00 ",
                                          "Payments due in 2026-09",
                                          "Graph: $600.00 freed"}
        << QStringList{};
    QTest::newRow("two yearly, offset 6")
        << kTwoYearly << 6 << QStringList{"200.00 ",
                                          "1,200.00 ",
                                          "1,200.00 ",
                                          ".00 ",
                                          "Payments due in 2026-12",
                                          "Graph: $600.00 freed"}
        << QStringList{"2026-12-01 1,200.00  Sub  Tax"};
    QTest::newRow("one yearly") << QByteArray("Insurance|Sub|2026-06-01|1,200.00|12\r\n") << 0
                                << QStringList{"100.00 ",
                                               "1,200.00 ",
                                               "1,200.00 ",
                                               ".00 ",
                                               "Payments due in 2026-06",
                                               "Graph: $.00 freed"}
                                << QStringList{"2026-06-01 1,200.00  Sub  Insurance"};
    QTest::newRow("first payment ahead, cycle due but not listed")
        << QByteArray("Car|Sub|2027-09-01|600.00|6\r\n") << 3
        << QStringList{"100.00 ",          ".00 ", ".00 ", ".00 ", "Payments due in 2026-09",
                       "Graph: $.00 freed"}
        << QStringList{};
    QTest::newRow("first payment ahead, listed in its month")
        << QByteArray("Car|Sub|2027-09-01|600.00|6\r\n") << 15
        << QStringList{"100.00 ",          "600.00 ", "600.00 ", ".00 ", "Payments due in 2027-09",
                       "Graph: $.00 freed"}
        << QStringList{"2027-09-01   600.00  Sub  Car"};
    QTest::newRow("monthly, moved to this month")
        << kMonthly << 0
        << QStringList{"50.00 ",           "50.00 ", "50.00 ", ".00 ", "Payments due in 2026-06",
                       "Graph: $.00 freed"}
        << QStringList{"2026-06-01    50.00  Sub  Paper"};
    QTest::newRow("yearly, earlier this year, listed next February")
        << QByteArray("Club|Mem|2026-02-01|1,200.00|12\r\n") << 8
        << QStringList{"100.00 ",
                       "1,200.00 ",
                       "1,200.00 ",
                       ".00 ",
                       "Payments due in 2027-02",
                       "Graph: $.00 freed"}
        << QStringList{"2026-02-01 1,200.00  Mem  Club"};
    QTest::newRow("grouping and cents")
        << QByteArray("Rent|Sub|2026-06-01|1234.5|1\r\nGum|SG|2026-06-01|.25|1\r\n") << 0
        << QStringList{"1,234.75 ",
                       "1,234.75 ",
                       "1,234.75 ",
                       ".00 ",
                       "Payments due in 2026-06",
                       "Graph: $.00 freed"}
        << QStringList{"2026-06-01      .25  SG   Gum", "2026-06-01 1,234.50  Sub  Rent"};
}

void TestMainWindow::figuresAndDueLines()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, offset);
    QFETCH(QStringList, figures);
    QFETCH(QStringList, rows);
    QVERIFY(session.start(contents));
    MainWindow w(teststate::State());
    w.show();
    goTo(w, offset);
    QCOMPARE(w.lab1->text(), figures[0]);
    QCOMPARE(w.lab2->text(), figures[1]);
    QCOMPARE(w.lab3->text(), figures[2]);
    QCOMPARE(w.lab4->text(), figures[3]);
    QCOMPARE(w.labE->text(), figures[4]);
    QCOMPARE(w.labF->text(), figures[5]);
    QCOMPARE(Rows(w.lstDue), rows);
}

void TestMainWindow::dueEntriesInTextOrderWithTheirRecordNumbers_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("records");
    QTest::newRow("date order, not file order")
        << QByteArray("Later|Mem|2026-06-20|10.00|12\r\nEarlier|SG|2026-06-01|20.00|12\r\n")
        << QStringList{"2026-06-01    20.00  SG   Earlier", "2026-06-20    10.00  Mem  Later"}
        << QList<int>{2, 1};
    QTest::newRow("letters compared without case")
        << QByteArray("Banana|Sub|2026-06-01|5|1\r\napple|Sub|2026-06-01|5|1\r\n")
        << QStringList{"2026-06-01     5.00  Sub  apple", "2026-06-01     5.00  Sub  Banana"}
        << QList<int>{2, 1};
    QTest::newRow("the same line twice")
        << QByteArray("Same|Sub|2026-06-01|5|1\r\nSame|Sub|2026-06-01|5|1\r\n")
        << QStringList{"2026-06-01     5.00  Sub  Same", "2026-06-01     5.00  Sub  Same"}
        << QList<int>{1, 2};
}

void TestMainWindow::dueEntriesInTextOrderWithTheirRecordNumbers()
{
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, records);
    QVERIFY(session.start(contents));
    MainWindow w(teststate::State());
    QCOMPARE(Rows(w.lstDue), rows);
    QCOMPARE(RecordNumbers(w.lstDue), records);
    QVERIFY(!w.lstDue->isSortingEnabled());
}

void TestMainWindow::emptyDataFile()
{
    QVERIFY(session.start(QByteArray()));
    MainWindow w(teststate::State());
    w.show();
    QCOMPARE(w.lstDue->count(), 0);
    for (QLabel* figure : {w.lab1, w.lab2, w.lab3, w.lab4})
        QCOMPARE(figure->text(), QStringLiteral(".00 "));
    QCOMPARE(w.labF->text(), QStringLiteral("Graph: $.00 freed"));
    QCOMPARE(w.picGraph->plan().chartTop, 0);
    QTest::mouseClick(w.cmdNextYr, Qt::LeftButton);
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2027-06"));
}

void TestMainWindow::unusableLinesAreLeftOut()
{
    QVERIFY(session.start("A|B\r\nPaper|Sub|2026-03-01|50.00|1\r\nX|Y|2026-01-01|abc|1\r\n"));
    MainWindow w(teststate::State());
    QCOMPARE(Rows(w.lstDue), QStringList{"2026-06-01    50.00  Sub  Paper"});
    QCOMPARE(RecordNumbers(w.lstDue), QList<int>{2});
    QCOMPARE(w.lab1->text(), QStringLiteral("50.00 "));
}

void TestMainWindow::chartFollowsTheFiguresAndTheDisplayedMonth()
{
    QVERIFY(session.start(kTwoYearly));
    MainWindow w(teststate::State());
    w.show();
    auto marker = [&w] {
        for (const ChartLine& l : w.picGraph->plan().lines) {
            if (l.colour == QColor(0, 255, 0))
                return l.x1;
        }
        return -1.0;
    };
    auto bars = [&w] {
        QList<double> heights;
        for (const ChartLine& l : w.picGraph->plan().lines) {
            if (l.colour == QColor(0, 0, 0))
                heights << l.y2;
        }
        return heights;
    };
    // The largest total is 1600 (five months after the June payment).
    QCOMPARE(w.picGraph->plan().gridStep, 1000);
    QCOMPARE(w.picGraph->plan().chartTop, 2000);
    QVERIFY(w.picGraph->toolTip().endsWith(QStringLiteral("Horizontal lines are $1000.")));
    QCOMPARE(marker(), 0.0);
    const QList<double> before = bars();
    QCOMPARE(before.size(), 121);
    QCOMPARE(before[5], 1600.0);
    QCOMPARE(before[6], 600.0);

    goTo(w, 3);
    QCOMPARE(marker(), 3.0);
    QCOMPARE(bars(), before);
}

void TestMainWindow::enterOpensTheEntriesAndTheWindowRefreshesAfter()
{
    QVERIFY(session.start(kMonthly));
    MainWindow w(teststate::State());
    w.show();
    QCOMPARE(w.focusWidget(), w.lstDue);
    QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    ClickRow(w.lstDue, 0);
    QVERIFY(w.cmdPay->isEnabled());

    const QByteArray edited = "Paper|Sub|2026-03-01|50.00|1\r\nTea|Sub|2026-06-02|3.00|1\r\n";
    ModalAnswer<EntryListDialog> answer([&](EntryListDialog* entries) {
        // What the entry list would have done to the file meanwhile.
        QVERIFY(WriteBytes(session.dataFile, edited));
        QTest::mouseClick(entries->cmdDone, Qt::LeftButton);
    });
    QTest::keyClick(w.lstDue, Qt::Key_Return);
    QCOMPARE(answer.shown(), 1);
    QCOMPARE(int(w.monthOffset()), 1);
    QCOMPARE(Rows(w.lstDue),
             (QStringList{"2026-06-01    50.00  Sub  Paper", "2026-06-02     3.00  Sub  Tea"}));
    QVERIFY(w.lstDue->selectedItems().isEmpty());
    QVERIFY(!w.cmdPay->isEnabled());
    QCOMPARE(w.lab1->text(), QStringLiteral("53.00 "));
}

void TestMainWindow::leaving_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Exit") << false;
    QTest::newRow("close box") << true;
}

void TestMainWindow::leaving()
{
    QFETCH(bool, closeBox);
    QVERIFY(session.start(kTwoYearly));
    const QByteArray before = session.bytes();
    MainWindow w(teststate::State());
    w.show();
    QVERIFY(!platform::ProgramEnding());
    if (closeBox)
        w.close();
    else
        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
    QVERIFY(platform::ProgramEnding());
    QVERIFY(!w.isVisible());
    QVERIFY(platform::MessageTestHook::takeShown().isEmpty());
    QCOMPARE(session.bytes(), before);
}

QTEST_MAIN(TestMainWindow)
#include "tst_frmmain.moc"
