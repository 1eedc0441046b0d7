// The main window as the user meets it: month navigation, the figures and due payments
// shown, Pay with its dialog, Step and Cancel, and the entry list behind "Edit Entries"
// with its six orders, Delete, New entry, Edit and Print. The data file's bytes are the
// measure of every change.
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "testutil.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using tu::Click;
using tu::Find;

namespace {

const QByteArray kTwoYearly = "Insurance|Sub|2026-06-01|1,200.00|12\r\n"
                              "Tax|Sub|2026-12-01|1,200.00|12\r\n";
const QByteArray kMonthly = "Paper|Sub|2026-03-01|50.00|1\r\n";

QListWidget* List(const QWidget* window, const char* name = "lstDue")
{
    return Find<QListWidget>(window, name);
}

// n, p: next and previous month; N, P: next and previous year; z: now.
void Navigate(const QWidget* w, const QString& clicks)
{
    const QHash<QChar, QString> buttons{{'n', "cmdNext"}, {'p', "cmdPrev"}, {'N', "cmdNextYr"},
                                        {'P', "cmdPrevYr"}, {'z', "cmdZero"}};
    for (const QChar c : clicks)
        Click(w, buttons[c]);
}

// Which of Prev Mon, Prev Yr, Now, Next Mon, Next Yr, Step, Pay, Cancel are enabled.
QString Enabled(const QWidget* w)
{
    QString mask;
    for (const char* name : {"cmdPrev", "cmdPrevYr", "cmdZero", "cmdNext", "cmdNextYr", "cmdStep",
                             "cmdPay", "cmdNoPay"})
        mask += Find(w, name)->isEnabled() ? '1' : '0';
    return mask;
}

QStringList Labels(const QWidget* w)
{
    QStringList texts;
    for (const char* name : {"lab1", "lab2", "lab3", "lab4", "labE", "labF"})
        texts << Find<QLabel>(w, name)->text();
    return texts;
}

// The dialog Pay shows: what it says and what the user does in it.
struct PayDialog
{
    QString prompt, amount;
    bool scratch = false;
    QByteArray data;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }
    void navigation_data();
    void navigation();
    void figures_data();
    void figures();
    void pay_data();
    void pay();
    void payAheadAndStep();
    void lineChangedBehindTheWindow_data();
    void lineChangedBehindTheWindow();
    void failedRewrites();
    void entryOrders_data();
    void entryOrders();
    void entrySelection();
    void deleteEntries();
    void addAndEditFromTheList();
    void print();
    void editEntriesRefreshesTheWindow();
    void leaving();

private:
    std::unique_ptr<tu::Fixture> f;
};

void TestMainWindow::navigation_data()
{
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("at the start") << "" << "2026-06" << "00011111";
    QTest::newRow("into the next year") << "nnnnnnn" << "2027-01" << "10111000";
    QTest::newRow("eleven months") << "nnnnnnnnnnn" << "2027-05" << "10111000";
    QTest::newRow("a year") << "N" << "2027-06" << "11111000";
    QTest::newRow("back a year from twelve") << "NP" << "2026-06" << "00011000";
    QTest::newRow("back a month") << "nnp" << "2026-07" << "10111000";
    QTest::newRow("108 months") << "NNNNNNNNN" << "2035-06" << "11111000";
    QTest::newRow("109 months") << "NNNNNNNNNn" << "2035-07" << "11110000";
    QTest::newRow("the horizon, past it refused") << "NNNNNNNNNNnN" << "2036-06" << "11100000";
    QTest::newRow("now") << "Nnnz" << "2026-06" << "00011000";
    QTest::newRow("nothing before now") << "pP" << "2026-06" << "00011111";
}

// The displayed month moves, the chart's marker with it; a selection does not survive.
void TestMainWindow::navigation()
{
    QFETCH(QString, clicks);
    QFETCH(QString, month);
    QFETCH(QString, enabled);
    QVERIFY(f->open(kMonthly + kTwoYearly));
    MainWindow w(f->state());
    w.show();
    tu::ClickRow(List(&w), 0);
    QCOMPARE(Enabled(&w), QStringLiteral("00011111"));
    Navigate(&w, clicks);
    QCOMPARE(Find<QLabel>(&w, "labE")->text(), "Payments due in " + month);
    QCOMPARE(Enabled(&w), enabled);
    const int offset = (month.left(4).toInt() - 2026) * 12 + month.mid(5).toInt() - 6;
    int marker = -1;
    for (const ChartLine& line : Find<SavingsChart>(&w, "picGraph")->plan().lines)
        marker = line.colour == chartcolours::Marker ? int(line.x1) : marker;
    QCOMPARE(marker, offset);
    QCOMPARE(f->bytes(), kMonthly + kTwoYearly);
}

void TestMainWindow::figures_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<QStringList>("labels"); // lab1 to lab4, labE, labF
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("numbers");
    QTest::newRow("two yearly, now")
        << kTwoYearly << ""
        << QStringList{"200.00 ", "1,200.00 ", "1,200.00 ", ".00 ", "Payments due in 2026-06",
                       "Graph: $600.00 freed"}
        << QStringList{"2026-06-01 1,200.00  Sub  Insurance"} << QList<int>{1};
    QTest::newRow("two yearly, three months on")
        << kTwoYearly << "nnn"
        << QStringList{"200.00 ", "600.00 ", ".00 ", "600.00 ", "Payments due in 2026-09",
                       "Graph: $600.00 freed"}
        << QStringList{} << QList<int>{};
    // Sorted by text without case, not by file order; unusable lines left out; names in
    // the single-byte code page and in UTF-8 both shown.
    QTest::newRow("due list in text order")
        << QByteArray("A|B\r\nX|Y|2026-01-01|abc|1\r\nLate|Sub|2026-06-20|1234.5|1\r\n"
                      "b|Sub|2026-06-01|5|1\r\nCaf\xc3\xa9|Sub|2026-06-01|5|1\r\n"
                      "Cr\xe8me|Sub|2026-06-01|.25|1")
        << ""
        << QStringList{"1,244.75 ", "1,244.75 ", "1,244.75 ", ".00 ", "Payments due in 2026-06",
                       "Graph: $.00 freed"}
        << QStringList{"2026-06-01      .25  Sub  Cr\u00e8me", "2026-06-01     5.00  Sub  b",
                       "2026-06-01     5.00  Sub  Caf\u00e9", "2026-06-20 1,234.50  Sub  Late"}
        << QList<int>{6, 4, 5, 3};
    QTest::newRow("empty file") << QByteArray() << "N"
                                << QStringList{".00 ", ".00 ", ".00 ", ".00 ",
                                               "Payments due in 2027-06", "Graph: $.00 freed"}
                                << QStringList{} << QList<int>{};
}

void TestMainWindow::figures()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, clicks);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, numbers);
    QVERIFY(f->open(contents));
    MainWindow w(f->state());
    w.show();
    Navigate(&w, clicks);
    QCOMPARE(Labels(&w), labels);
    QCOMPARE(tu::Rows(List(&w)), rows);
    QCOMPARE(tu::Numbers(List(&w)), numbers);
    QCOMPARE(f->shown(), QStringList());
}

void TestMainWindow::pay_data()
{
    QTest::addColumn<QByteArray>("line");    // line 2 of the file, due this month
    QTest::addColumn<QString>("typed");      // into the amount box first; null: nothing
    QTest::addColumn<QString>("answer");     // the button pressed, or "close"
    QTest::addColumn<QString>("shown");      // the prompt's months and the amount shown
    QTest::addColumn<QByteArray>("written"); // line 2 afterwards
    QTest::newRow("NoChange keeps 1234.5 as stored")
        << QByteArray("Car|Sub|2026-06-01|1234.5|12") << QString() << "cmdNoChange"
        << "12 months 1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
    QTest::newRow("close box keeps the amount")
        << QByteArray("Car|Sub|2026-06-01|1234.5|12") << "9" << "close"
        << "12 months 1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
    QTest::newRow("Change to 1300") << QByteArray("Car|Sub|2026-06-01|1234.5|12") << "1300"
                                    << "cmdChange" << "12 months 1,234.50"
                                    << QByteArray("Car|Sub|2027-06-15|1,300.00|12");
    QTest::newRow("Change with the same amount keeps its text")
        << QByteArray("Car|Sub|2026-06-01|1234.5|12") << QString() << "cmdChange"
        << "12 months 1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
    QTest::newRow("Change rounds 10.123 to 10.12")
        << QByteArray("Pen|SG|2026-06-01|10.123|1") << QString() << "cmdChange"
        << "1 month 10.12" << QByteArray("Pen|SG|2026-07-15|10.12|1");
    QTest::newRow("Change below one dollar") << QByteArray("Pen|SG|2026-06-01|3|1") << "0.5"
                                             << "cmdChange" << "1 month 3.00"
                                             << QByteArray("Pen|SG|2026-07-15|.50|1");
    QTest::newRow("Add 10% and further fields kept")
        << QByteArray("Gym|Mem|2026-06-01|40.00|3|card 7|x") << QString() << "cmdIncrease(1)"
        << "3 months 40.00" << QByteArray("Gym|Mem|2026-09-15|44.00|3|card 7|x");
}

// Pay sets the next date to today plus the period; the dialog shows half way through the
// rewrite, while the data file is still untouched.
void TestMainWindow::pay()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, typed);
    QFETCH(QString, answer);
    QFETCH(QString, shown);
    QFETCH(QByteArray, written);
    const QByteArray first = "Cr\xe8me|Sub|2027-01-01|6|12\r\n";
    const QByteArray last = "Tax|Sub|2026-12-01|1,200.00|12"; // no line end
    QVERIFY(f->open(first + line + "\r\n" + last));
    MainWindow w(f->state());
    w.show();
    QCOMPARE(tu::Numbers(List(&w)), QList<int>{2});
    tu::ClickRow(List(&w), 0);
    PayDialog seen;
    tu::Answer dialog({[&](QWidget* d) {
        seen = {Find<QLabel>(d, "labA")->text(), Find<QLineEdit>(d, "txtChange")->text(),
                f->scratch(), f->bytes()};
        if (!typed.isNull())
            tu::Retype(d, "txtChange", typed);
        if (answer == "close")
            d->close();
        else
            Click(d, answer);
        if (answer == "cmdIncrease(1)")
            Click(d, "cmdChange");
    }});
    Click(&w, "cmdPay");
    QCOMPARE(dialog.seen, QStringList{"frmChangeDollar"});
    QCOMPARE(dialog.unanswered, QStringList());
    QVERIFY2(seen.prompt.endsWith("due in " + shown.section(' ', 0, 1) + ", enter it here"),
             qPrintable(seen.prompt));
    QCOMPARE(seen.amount, shown.section(' ', 2));
    QVERIFY(seen.scratch);
    QCOMPARE(seen.data, first + line + "\r\n" + last);
    QCOMPARE(f->bytes(), first + written + "\r\n" + last + "\r\n");
    QVERIFY(!f->scratch());
    QCOMPARE(f->shown(), QStringList());
    QCOMPARE(Enabled(&w), QStringLiteral("00011000"));
}

// Pay from a later month still counts from today, and the window stays on that month;
// Step moves the payment on by one month without asking.
void TestMainWindow::payAheadAndStep()
{
    QVERIFY(f->open("Water|Sub|2026-09-01|90.00|3\r\nPaper|Sub|2026-06-01|50.00|1|x\r\n"));
    MainWindow w(f->state());
    w.show();
    Navigate(&w, "nnn");
    tu::ClickRow(List(&w), 1);
    QCOMPARE(tu::Rows(List(&w)).value(1), QStringLiteral("2026-09-01    90.00  Sub  Water"));
    QCOMPARE(Enabled(&w).right(3), QStringLiteral("011")); // Step only in the current month
    tu::Answer noChange({[](QWidget* d) { Click(d, "cmdNoChange"); }});
    Click(&w, "cmdPay");
    QCOMPARE(f->bytes(), QByteArray("Water|Sub|2026-09-15|90.00|3\r\nPaper|Sub|2026-06-01|50.00|1|x\r\n"));
    QCOMPARE(Find<QLabel>(&w, "labE")->text(), QStringLiteral("Payments due in 2026-09"));
    QCOMPARE(tu::Rows(List(&w)).value(1), QStringLiteral("2026-09-15    90.00  Sub  Water"));

    Navigate(&w, "z");
    tu::ClickRow(List(&w), 0);
    tu::Answer none;
    Click(&w, "cmdStep");
    QCOMPARE(none.seen, QStringList());
    QCOMPARE(f->bytes(), QByteArray("Water|Sub|2026-09-15|90.00|3\r\nPaper|Sub|2026-07-01|50.00|1|x\r\n"));
    QCOMPARE(tu::Rows(List(&w)), QStringList());
    Navigate(&w, "n");
    QCOMPARE(tu::Rows(List(&w)), QStringList{"2026-07-01    50.00  Sub  Paper"});
    // Cancel drops the selection and changes nothing.
    tu::ClickRow(List(&w), 0);
    Click(&w, "cmdNoPay");
    QCOMPARE(Enabled(&w).right(3), QStringLiteral("000"));
    QVERIFY(List(&w)->selectedItems().isEmpty());
    QCOMPARE(f->bytes(), QByteArray("Water|Sub|2026-09-15|90.00|3\r\nPaper|Sub|2026-07-01|50.00|1|x\r\n"));
}

void TestMainWindow::lineChangedBehindTheWindow_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("changed");
    QTest::newRow("Step, four fields") << "cmdStep" << QByteArray("Paper|Sub|2026-06-01|50.00\r\n");
    QTest::newRow("Step, no month part") << "cmdStep" << QByteArray("Paper|Sub|2026|50.00|1\r\n");
    QTest::newRow("Pay, four fields") << "cmdPay" << QByteArray("Paper|Sub|2026-06-01|50.00\r\n");
    QTest::newRow("Pay, amount no number") << "cmdPay" << QByteArray("Paper|Sub|2026-06-01|x|1\r\n");
    QTest::newRow("Step, record gone") << "cmdStep" << QByteArray();
    QTest::newRow("Pay, record gone") << "cmdPay" << QByteArray();
}

// The window lists what the file held at its last refresh; a line edited by hand since
// is written back as it is, without a question.
void TestMainWindow::lineChangedBehindTheWindow()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, changed);
    const QByteArray first = "Tax|Sub|2026-12-01|1,200.00|12\r\n";
    QVERIFY(f->open(first + kMonthly));
    MainWindow w(f->state());
    w.show();
    tu::ClickRow(List(&w), 0);
    QVERIFY(tu::WriteFile(f->dataPath, first + changed)); // in place: Kestrow reads it
    tu::Answer none;
    Click(&w, button);
    QCOMPARE(none.seen, QStringList());
    QCOMPARE(f->bytes(), first + changed);
    QCOMPARE(List(&w)->count(), 0);
}

// A rewrite that cannot start asks nothing; one whose new file cannot be put in place is
// reported and leaves the file, and the payment can be paid again.
void TestMainWindow::failedRewrites()
{
    QVERIFY(f->open(kMonthly));
    MainWindow w(f->state());
    w.show();
    QVERIFY(QDir().mkdir(f->tempPath));
    for (const char* button : {"cmdPay", "cmdStep"}) {
        tu::ClickRow(List(&w), 0);
        tu::Answer none;
        Click(&w, button);
        QCOMPARE(none.seen, QStringList());
        QCOMPARE(f->shown().size(), 1);
    }
    QVERIFY(QDir().rmdir(f->tempPath));
    tu::ClickRow(List(&w), 0);
    tu::Answer removing({[this](QWidget* d) {
        QVERIFY(QFile::remove(f->tempPath));
        tu::Retype(d, "txtChange", "999");
        Click(d, "cmdChange");
    }});
    Click(&w, "cmdPay");
    QCOMPARE(f->bytes(), kMonthly);
    const QStringList shown = f->shown();
    QVERIFY(shown.size() == 1 && shown[0].contains(f->dataPath));
    tu::ClickRow(List(&w), 0);
    tu::Answer again({[](QWidget* d) { Click(d, "cmdNoChange"); }});
    Click(&w, "cmdPay");
    QCOMPARE(f->bytes(), QByteArray("Paper|Sub|2026-07-15|50.00|1\r\n"));
}

void TestMainWindow::entryOrders_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("numbers");
    QTest::newRow("name") << 0 << QStringList{"alice  Mem  2026-01-10  1,200.00  12",
                                              "B\u00e9b  Subs  2026-06-01  25.00  1"}
                          << QList<int>{2, 1};
    QTest::newRow("type") << 1 << QStringList{"Mem  alice  2026-01-10  1,200.00  12",
                                              "Sub  B\u00e9b  2026-06-01  25.00  1"}
                          << QList<int>{2, 1};
    QTest::newRow("date") << 2 << QStringList{"2026-01-10  alice  Mem  1,200.00  12",
                                              "2026-06-01  B\u00e9b  Subs  25.00  1"}
                          << QList<int>{2, 1};
    QTest::newRow("amount") << 3 << QStringList{"   25.00  B\u00e9b  Subs  2026-06-01  1",
                                                "1,200.00  alice  Mem  2026-01-10  12"}
                            << QList<int>{1, 2};
    QTest::newRow("duration") << 4 << QStringList{"   1  B\u00e9b  Subs  2026-06-01  25.00",
                                                  "  12  alice  Mem  2026-01-10  1,200.00"}
                              << QList<int>{1, 2};
    QTest::newRow("raw") << 5 << QStringList{"     1  B\u00e9b|Subs|2025-03-01|25.00|1",
                                             "     2  alice|Mem|2026-01-10|1,200.00|12"}
                         << QList<int>{1, 2};
}

void TestMainWindow::entryOrders()
{
    QFETCH(int, order);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, numbers);
    const QByteArray contents = "B\xe9""b|Subs|2025-03-01|25.00|1\r\nalice|Mem|2026-01-10|1,200.00|12\r\n";
    QVERIFY(f->open(contents));
    EntryListDialog list(f->state());
    list.show();
    QVERIFY(Find<QRadioButton>(&list, "Option1(0)")->isChecked());
    Click(&list, QStringLiteral("Option1(%1)").arg(order));
    QCOMPARE(tu::Rows(List(&list, "lstDisplay")), rows);
    QCOMPARE(tu::Numbers(List(&list, "lstDisplay")), numbers);
    QCOMPARE(f->bytes(), contents);
}

// Edit needs one selected entry, Delete at least one; Esc stands for Edit only while it is
// enabled, Enter for New entry.
void TestMainWindow::entrySelection()
{
    QVERIFY(f->open(kTwoYearly + kMonthly));
    EntryListDialog list(f->state());
    list.show();
    QListWidget* rows = List(&list, "lstDisplay");
    const auto buttons = [&list] {
        return QString("%1%2").arg(Find(&list, "cmdEdit")->isEnabled()).arg(Find(&list, "cmdDelete")->isEnabled());
    };
    QCOMPARE(buttons(), QStringLiteral("00"));
    tu::Answer nothing;
    QTest::keyClick(rows, Qt::Key_Escape);
    tu::ClickRow(rows, 0);
    QCOMPARE(buttons(), QStringLiteral("11"));
    tu::ClickRow(rows, 2, Qt::ShiftModifier);
    QCOMPARE(rows->selectedItems().size(), 3);
    QCOMPARE(buttons(), QStringLiteral("01"));
    tu::ClickRow(rows, 1, Qt::ControlModifier);
    QCOMPARE(buttons(), QStringLiteral("01"));
    tu::ClickRow(rows, 2, Qt::ControlModifier);
    QCOMPARE(buttons(), QStringLiteral("11"));
    QCOMPARE(nothing.seen, QStringList());
    tu::Answer edit({[](QWidget* form) {
        QCOMPARE(Find<QLineEdit>(form, "txtIn(0)")->text(), QStringLiteral("Insurance"));
        Click(form, "cmdCancel");
    }});
    QTest::keyClick(rows, Qt::Key_Escape);
    tu::Answer add({[](QWidget* form) { Click(form, "cmdCancel"); }});
    QTest::keyClick(rows, Qt::Key_Return);
    QCOMPARE(edit.seen + add.seen, (QStringList{"frmChange", "frmAdd"}));
    QCOMPARE(buttons(), QStringLiteral("00")); // rebuilt with nothing selected
    QCOMPARE(f->bytes(), kTwoYearly + kMonthly);
}

// Deleting renumbers the later records; deleting every one brings the introduction back.
void TestMainWindow::deleteEntries()
{
    QVERIFY(f->open("Echo|S|d|5|1\r\ndelta|S|d|3|1\r\nCharlie|S|d|2|1\r\nbravo|S|d|4|1\r\n"
                    "Alpha|S|d|1|1\r\n"));
    EntryListDialog list(f->state());
    list.show();
    QListWidget* rows = List(&list, "lstDisplay");
    Click(&list, "Option1(3)");
    for (const int row : {2, 0, 1}) // delta, Alpha, Charlie: not in file order
        tu::ClickRow(rows, row, Qt::ControlModifier);
    tu::Answer none;
    Click(&list, "cmdDelete");
    QCOMPARE(none.seen, QStringList());
    QCOMPARE(f->bytes(), QByteArray("Echo|S|d|5|1\r\nbravo|S|d|4|1\r\n"));
    QVERIFY(!f->scratch());
    QVERIFY(Find<QRadioButton>(&list, "Option1(3)")->isChecked());
    QCOMPARE(tu::Rows(rows), (QStringList{"    4.00  bravo  S  d  1", "    5.00  Echo  S  d  1"}));
    QCOMPARE(tu::Numbers(rows), (QList<int>{2, 1}));
    QVERIFY(rows->selectedItems().isEmpty());

    rows->setFocus();
    QTest::keyClick(rows, Qt::Key_A, Qt::ControlModifier);
    tu::Answer empty({[](QWidget* intro) { Click(intro, "cmdContinue"); },
                      [](QWidget* add) { Click(add, "cmdCancel"); }});
    Click(&list, "cmdDelete");
    QCOMPARE(empty.seen, (QStringList{"frmIntro", "frmAdd"}));
    QCOMPARE(f->bytes(), QByteArray());
    QVERIFY(list.isVisible() && !platform::ProgramEnding());
    QCOMPARE(rows->count(), 0);
    // An empty list is not printed: a blank page would be all it gave.
    platform::PrinterTestHook::setPrinterAvailable(true);
    Click(&list, "cmdPrint");
    QCOMPARE(platform::PrinterTestHook::takePrinted(), QStringList());
    QCOMPARE(f->shown(), QStringList());
}

// New entry and Edit open their forms on the data file; the list is then rebuilt in the
// order it had, with nothing selected.
void TestMainWindow::addAndEditFromTheList()
{
    QVERIFY(f->open(kTwoYearly + "Rent|Sub|2025-03-01|500.00|1\r\n"));
    EntryListDialog list(f->state());
    list.show();
    Click(&list, "Option1(5)");
    tu::ClickRow(List(&list, "lstDisplay"), 2);
    bool scratchWhileOpen = false;
    tu::Answer edit({[&](QWidget* form) {
        scratchWhileOpen = f->scratch();
        tu::Retype(form, "txtIn(0)", "Flat rent");
        Click(form, "cmdAccept");
    }});
    Click(&list, "cmdEdit");
    tu::Answer add({[](QWidget* form) {
        for (int i = 0; i < 5; ++i)
            tu::Retype(form, QStringLiteral("txtIn(%1)").arg(i), QStringList{"Car", "SG", "2026-09-01", "10", "3"}[i]);
        Click(form, "cmdUseIt");
        Click(form, "cmdCancel");
    }});
    Click(&list, "cmdAdd");
    QCOMPARE(edit.seen + add.seen, (QStringList{"frmChange", "frmAdd"}));
    QVERIFY(scratchWhileOpen);
    QCOMPARE(f->bytes(), kTwoYearly + "Flat rent|Sub|2026-06-01|500.00|1\r\nCar|SG|2026-09-01|10.00|3\r\n");
    QCOMPARE(tu::Rows(List(&list, "lstDisplay")).mid(2),
             (QStringList{"     3  Flat rent|Sub|2026-06-01|500.00|1", "     4  Car|SG|2026-09-01|10.00|3"}));
    QVERIFY(List(&list, "lstDisplay")->selectedItems().isEmpty());
}

// The list is printed as displayed; without a printer the user may save it as a PDF file.
void TestMainWindow::print()
{
    QVERIFY(f->open(kTwoYearly + kMonthly));
    EntryListDialog list(f->state());
    list.show();
    Click(&list, "Option1(3)");
    platform::PrinterTestHook::setPrinterAvailable(true);
    Click(&list, "cmdPrint");
    QCOMPARE(platform::PrinterTestHook::takePrinted(), tu::Rows(List(&list, "lstDisplay")));
    QCOMPARE(tu::Rows(List(&list, "lstDisplay")).value(0), QStringLiteral("   50.00  Paper  Sub  2026-06-01  1"));
    platform::PrinterTestHook::setPrinterAvailable(false);
    const QString pdf = f->dir.filePath("entries.pdf");
    // Declined; the file dialog cancelled; a folder that is not there; a file written.
    const std::tuple<bool, QString, int> tries[] = {
        {false, pdf, 1}, {true, "", 1}, {true, f->dir.filePath("none/x.pdf"), 2}, {true, pdf, 1}};
    for (const auto& [yes, name, messages] : tries) {
        platform::MessageTestHook::queueAnswer(yes);
        platform::PrinterTestHook::setSaveFileName(name);
        Click(&list, "cmdPrint");
        const QStringList shown = f->shown();
        QCOMPARE(shown.size(), messages);
        QVERIFY(messages == 1 || shown[1].startsWith("Kestrow could not save the list as"));
        QCOMPARE(platform::PrinterTestHook::takeFileDialogs(), int(yes));
        QCOMPARE(QFile::exists(pdf), yes && name == pdf);
    }
    QVERIFY(tu::ReadFile(pdf).startsWith("%PDF-"));
    QCOMPARE(platform::PrinterTestHook::takePrinted(), QStringList());
    QCOMPARE(f->bytes(), kTwoYearly + kMonthly);
}

// Enter opens the entries; when they close, the window shows the file as it is then.
void TestMainWindow::editEntriesRefreshesTheWindow()
{
    QVERIFY(f->open(kMonthly));
    MainWindow w(f->state());
    w.show();
    Navigate(&w, "n");
    tu::ClickRow(List(&w), 0);
    tu::Answer entries({[this](QWidget* list) {
        QVERIFY(f->write(kMonthly + "Tea|Sub|2026-06-02|3.00|1\r\n")); // as the list would
        Click(list, "cmdDone");
    }});
    QTest::keyClick(List(&w), Qt::Key_Return);
    QCOMPARE(entries.seen, QStringList{"frmEdit"});
    QCOMPARE(Find<QLabel>(&w, "labE")->text(), QStringLiteral("Payments due in 2026-07"));
    QCOMPARE(tu::Rows(List(&w)), (QStringList{"2026-06-01    50.00  Sub  Paper",
                                              "2026-06-02     3.00  Sub  Tea"}));
    QCOMPARE(Enabled(&w), QStringLiteral("10111000"));
    QCOMPARE(Find<QLabel>(&w, "lab1")->text(), QStringLiteral("53.00 "));
}

void TestMainWindow::leaving()
{
    QVERIFY(f->open(kTwoYearly));
    for (const bool closeBox : {false, true}) {
        MainWindow w(f->state());
        w.show();
        if (closeBox)
            w.close();
        else
            Click(&w, "cmdExit");
        QVERIFY(platform::ProgramEnding() && !w.isVisible());
        platform::ResetEndingForTesting();
    }
    QCOMPARE(f->shown(), QStringList());
    QCOMPARE(f->bytes(), kTwoYearly);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
