// The main window as the user meets it: the figures and due payments shown, Pay with its
// dialog, Step and Cancel, and the entry list behind "Edit Entries" with its six orders,
// Delete, Edit and Print. The data file's bytes measure every change.
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QLabel>

using tu::Click;
using tu::Find;

namespace {

const QByteArray kMonthly = "Paper|Sub|2026-03-01|50.00|1\r\n";

QListWidget* List(const QWidget* w)
{
    return Find<QListWidget>(w, w->objectName() == "frmMain" ? "lstDue" : "lstDisplay");
}
// Whether Step, Pay and Cancel are enabled.
QString Actions(const QWidget* w)
{
    QString on;
    for (const char* name : {"cmdStep", "cmdPay", "cmdNoPay"})
        on += Find(w, name)->isEnabled() ? '1' : '0';
    return on;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    // The figures, then each due row with its record number: in text order without case,
    // not file order; unusable lines left out; the code page and UTF-8 both shown.
    void figures()
    {
        QVERIFY(f->open(
            "A|B\r\nLate|S|2026-06-20|1234.5|1\r\nb|S|2026-06-01|5|1\r\nCaf\xc3\xa9|S|2026-06-01|5|"
            "1\r\nCr\xe8me|S|2026-06-01|.25|1\r\nX|Y|2026-01-01|abc|1"));
        MainWindow w(*f->app);
        QStringList shown;
        for (const char* name : {"lab1", "lab2", "lab3", "lab4", "labE", "labF"})
            shown << Find<QLabel>(&w, name)->text();
        QCOMPARE(
            shown + tu::Rows(List(&w)),
            (QStringList{"1,244.75 ", "1,244.75 ", "1,244.75 ", ".00 ", "Payments due in 2026-06",
                         "Graph: $.00 freed", "5 2026-06-01      .25  S    Cr\u00e8me",
                         "3 2026-06-01     5.00  S    b", "4 2026-06-01     5.00  S    Caf\u00e9",
                         "2 2026-06-20 1,234.50  S    Late"}));
    }

    void pay_data()
    {
        QTest::addColumn<QString>("steps");  // line 2, typed over the amount, the buttons
        QTest::addColumn<QString>("result"); // the prompt's months, the amount shown, line 2
        const auto row = [](const char* name, const char* steps, const char* result) {
            QTest::newRow(name) << QString(steps) << QString(result);
        };
        row("NoChange keeps 1234.5", "Car|S|2026-06-01|1234.5|12;;cmdNoChange",
            "12 months;1,234.50;Car|S|2027-06-15|1234.5|12");
        row("the close box too", "Car|S|2026-06-01|1234.5|12;9;close",
            "12 months;1,234.50;Car|S|2027-06-15|1234.5|12");
        row("Change to 0.5", "Car|S|2026-06-01|1234.5|12;0.5;cmdChange",
            "12 months;1,234.50;Car|S|2027-06-15|.50|12");
        row("Change, same amount", "Car|S|2026-06-01|1234.5|12;;cmdChange",
            "12 months;1,234.50;Car|S|2027-06-15|1234.5|12");
        row("Change rounds to cents", "Pen|S|2026-06-01|10.123|1;;cmdChange",
            "1 month;10.12;Pen|S|2026-07-15|10.12|1");
        row("Add 10%, further fields kept", "Gym|M|2026-06-01|40|3|c|x;;cmdIncrease(1) cmdChange",
            "3 months;40.00;Gym|M|2026-09-15|44.00|3|c|x");
    }
    // Pay sets the next date to today plus the period; the dialog shows half way through
    // the rewrite, while the data file is still untouched.
    void pay()
    {
        QFETCH(QString, steps);
        QFETCH(QString, result);
        const QByteArray before = "Cr\xe8me|Sub|2027-01-01|6|12\r\n" +
                                  steps.section(';', 0, 0).toUtf8() + "\r\nTax|S|d|1|1";
        QVERIFY(f->open(before));
        MainWindow w(*f->app);
        w.show();
        tu::ClickRow(List(&w), 0);
        QString seen;
        tu::Answer dialog({[&](QWidget* d) {
            seen = Find<QLabel>(d, "labA")->text().section("due in ", 1).section(',', 0, 0) + ";" +
                   Find<QLineEdit>(d, "txtChange")->text() + ";";
            QVERIFY(f->scratch() && f->bytes() == before);
            if (!steps.section(';', 1, 1).isEmpty())
                tu::Retype(d, "txtChange", steps.section(';', 1, 1));
            for (const QString& button : steps.section(';', 2).split(' '))
                button == "close" ? void(d->close()) : Click(d, button);
        }});
        Click(&w, "cmdPay");
        QCOMPARE(dialog.seen, QStringList{"frmChangeDollar"});
        QCOMPARE(seen + tu::Lines(f->bytes()).value(1), result);
        QVERIFY(f->bytes().endsWith("\r\nTax|S|d|1|1\r\n") && !f->scratch() &&
                f->shown().isEmpty());
        QCOMPARE(Actions(&w), QStringLiteral("000"));
    }

    // Pay from a later month still counts from today, and the window stays on that month;
    // Step, only in the current month, moves a payment on by one month without asking;
    // Cancel changes nothing.
    void payAheadStepAndCancel()
    {
        QVERIFY(f->open("Water|Sub|2026-09-01|90.00|3\r\nPaper|Sub|2026-06-01|50.00|1|x\r\n"));
        MainWindow w(*f->app);
        w.show();
        for (int i = 0; i < 3; ++i)
            Click(&w, "cmdNext");
        tu::ClickRow(List(&w), 1);
        QCOMPARE(Actions(&w), QStringLiteral("011"));
        {
            tu::Answer noChange({[](QWidget* d) { Click(d, "cmdNoChange"); }});
            Click(&w, "cmdPay");
        }
        QCOMPARE(tu::Rows(List(&w)).value(1), QStringLiteral("1 2026-09-15    90.00  Sub  Water"));
        QCOMPARE(Find<QLabel>(&w, "labE")->text(), QStringLiteral("Payments due in 2026-09"));
        Click(&w, "cmdZero");
        tu::ClickRow(List(&w), 0);
        QCOMPARE(Actions(&w), QStringLiteral("111"));
        tu::Answer none;
        Click(&w, "cmdStep");
        Click(&w, "cmdNext");
        tu::ClickRow(List(&w), 0);
        Click(&w, "cmdNoPay");
        QVERIFY(Actions(&w) == "000" && List(&w)->selectedItems().isEmpty() && none.seen.isEmpty());
        QCOMPARE(tu::Rows(List(&w)), QStringList{"2 2026-07-01    50.00  Sub  Paper"});
        QCOMPARE(f->bytes(), "Water|Sub|2026-09-15|90.00|3\r\nPaper|Sub|2026-07-01|50.00|1|x\r\n");
    }

    void entryOrders_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::newRow("0: name, without case")
            << "2 al  M  2026-01-10  1,200.00  12|1 B\u00e9b  Subs  2026-06-01  25  1";
        QTest::newRow("1: type, cut to three")
            << "2 M    al  2026-01-10  1,200.00  12|1 Sub  B\u00e9b  2026-06-01  25  1";
        QTest::newRow("2: date, the next one")
            << "2 2026-01-10  al  M  1,200.00  12|1 2026-06-01  B\u00e9b  Subs  25  1";
        QTest::newRow("3: amount")
            << "1    25.00  B\u00e9b  Subs  2026-06-01  1|2 1,200.00  al  M  2026-01-10  12";
        QTest::newRow("4: duration")
            << "1    1  B\u00e9b  Subs  2026-06-01  25|2   12  al  M  2026-01-10  1,200.00";
        QTest::newRow("5: raw, as stored")
            << "1      1  B\u00e9b|Subs|2025-03-01|25|1|2      2  al|M|2026-01-10|1,200.00|12";
    }
    // Every opening starts in the Name order.
    void entryOrders()
    {
        QFETCH(QString, rows);
        QVERIFY(f->open("B\xe9"
                        "b|Subs|2025-03-01|25|1\r\nal|M|2026-01-10|1,200.00|12\r\n"));
        for (int opening = 0; opening < 2; ++opening) {
            EntryListDialog list(*f->app);
            QVERIFY(Find<QAbstractButton>(&list, "Option1(0)")->isChecked());
            Click(&list, QStringLiteral("Option1(%1)").arg(QTest::currentDataTag()[0]));
            QCOMPARE(tu::Rows(List(&list)).join('|'), rows);
        }
    }

    // Edit needs one selected entry and Delete at least one; Esc stands for Edit while it is
    // enabled, Enter for New entry. Deleting renumbers the later records; deleting them all
    // brings the introduction back, and an empty list is not printed.
    void selectDeleteAndEdit()
    {
        QVERIFY(f->open("Echo|S|d|5|1\r\ndelta|S|d|3|1\r\nCharlie|S|2025-03-01|2|1\r\nbravo|S|d|4|"
                        "1\r\nAl|S|d|1|1\r\n"));
        EntryListDialog list(*f->app);
        list.show();
        QListWidget* rows = List(&list);
        const auto buttons = [&] {
            return QString::number(Find(&list, "cmdEdit")->isEnabled()) +
                   QString::number(Find(&list, "cmdDelete")->isEnabled()) +
                   QString::number(rows->selectedItems().size());
        };
        Click(&list, "Option1(3)"); // by amount: Al, Charlie, delta, bravo, Echo
        tu::ClickRow(rows, 0);
        tu::ClickRow(rows, 2, Qt::ShiftModifier);
        QCOMPARE(buttons(), QStringLiteral("013"));
        tu::ClickRow(rows, 0, Qt::ControlModifier);
        tu::ClickRow(rows, 2, Qt::ControlModifier);
        QCOMPARE(buttons(), QStringLiteral("111"));
        {
            tu::Answer forms(
                {[this](QWidget* edit) { // the lines before Charlie wait in the scratch file
                     QVERIFY(tu::ReadFile(f->tempPath).count('\n') == 2);
                     tu::Retype(edit, "txtIn(0)", "Chuck");
                     Click(edit, "cmdAccept");
                 },
                 [](QWidget* add) { Click(add, "cmdCancel"); }});
            QTest::keyClick(rows, Qt::Key_Escape);
            QTest::keyClick(rows, Qt::Key_Escape); // nothing selected: nothing to edit
            QTest::keyClick(rows, Qt::Key_Return);
            QCOMPARE(forms.seen, (QStringList{"frmChange", "frmAdd"}));
        }
        QCOMPARE(buttons() + rows->item(1)->text(),
                 QStringLiteral("000    2.00  Chuck  S  2026-06-01  1"));
        for (const int row : {2, 0, 1}) // delta, Al, Chuck: not in file order
            tu::ClickRow(rows, row, Qt::ControlModifier);
        Click(&list, "cmdDelete");
        QCOMPARE(f->bytes(), QByteArray("Echo|S|d|5|1\r\nbravo|S|d|4|1\r\n"));
        QCOMPARE(tu::Rows(rows),
                 (QStringList{"2     4.00  bravo  S  d  1", "1     5.00  Echo  S  d  1"}));
        rows->setFocus();
        QTest::keyClick(rows, Qt::Key_A, Qt::ControlModifier);
        tu::Answer empty({[](QWidget* intro) { Click(intro, "cmdContinue"); },
                          [](QWidget* add) { Click(add, "cmdCancel"); }});
        Click(&list, "cmdDelete");
        platform::PrinterTestHook::setPrinterAvailable(true);
        Click(&list, "cmdPrint");
        QCOMPARE(empty.seen, (QStringList{"frmIntro", "frmAdd"}));
        QVERIFY(f->bytes().isEmpty() && rows->count() == 0 && !platform::ProgramEnding());
        QVERIFY(platform::PrinterTestHook::takePrinted().isEmpty() && f->shown().isEmpty());
    }

    // The list is printed as displayed; without a printer it may be saved as a PDF file:
    // declined, the file dialog cancelled, a folder that is not there, a file written.
    void print()
    {
        QVERIFY(f->open(kMonthly + "Insurance|Sub|2026-06-01|1,200.00|12\r\n"));
        EntryListDialog list(*f->app);
        platform::PrinterTestHook::setPrinterAvailable(true);
        Click(&list, "cmdPrint");
        QCOMPARE(platform::PrinterTestHook::takePrinted().join('|'),
                 QStringLiteral(
                     "Insurance  Sub  2026-06-01  1,200.00  12|Paper  Sub  2026-06-01  50.00  1"));
        platform::PrinterTestHook::setPrinterAvailable(false);
        const QString pdf = f->dir.filePath("entries.pdf");
        QString said;
        for (const QString& name : {QString("-"), QString(), f->dir.filePath("none/x.pdf"), pdf}) {
            platform::MessageTestHook::queueAnswer(name != "-");
            platform::PrinterTestHook::setSaveFileName(name);
            Click(&list, "cmdPrint");
            said += QString::number(f->shown().size()) +
                    QString::number(platform::PrinterTestHook::takeFileDialogs());
        }
        QVERIFY(said == "10112111" && tu::ReadFile(pdf).startsWith("%PDF-"));
    }

    // Enter opens the entries; when they close, the window shows the file as it then is.
    // Exit and the close box end the program and change nothing.
    void editEntriesAndLeaving()
    {
        QVERIFY(f->open(kMonthly));
        MainWindow w(*f->app);
        w.show();
        Click(&w, "cmdNext");
        tu::ClickRow(List(&w), 0);
        tu::Answer entries({[this](QWidget* list) {
            QVERIFY(f->write(kMonthly + "Tea|Sub|2026-06-02|3.00|1\r\n")); // as the list would
            Click(list, "cmdDone");
        }});
        QTest::keyClick(List(&w), Qt::Key_Return);
        QCOMPARE(entries.seen, QStringList{"frmEdit"});
        QCOMPARE(Actions(&w) + Find<QLabel>(&w, "labE")->text() + Find<QLabel>(&w, "lab1")->text(),
                 "000Payments due in 2026-0753.00 ");
        QCOMPARE(tu::Rows(List(&w)), (QStringList{"1 2026-06-01    50.00  Sub  Paper",
                                                  "2 2026-06-02     3.00  Sub  Tea"}));
        Click(&w, "cmdExit");
        QVERIFY(platform::ProgramEnding() && !w.isVisible());
        platform::ResetEndingForTesting();
        MainWindow again(*f->app);
        again.show();
        again.close();
        QVERIFY(platform::ProgramEnding() && f->shown().isEmpty());
        QCOMPARE(f->bytes(), kMonthly + "Tea|Sub|2026-06-02|3.00|1\r\n");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
