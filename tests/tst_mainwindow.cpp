// The main window as the user meets it: month navigation, the figures and due payments
// shown, Pay with its dialog, Step and Cancel, and the entry list behind "Edit Entries"
// with its six orders, Delete, New entry, Edit and Print. The data file's bytes are the
// measure of every change.
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QLabel>

using tu::Click;
using tu::Find;

namespace {

const QByteArray kTwoYearly =
    "Insurance|Sub|2026-06-01|1,200.00|12\r\nTax|Sub|2026-12-01|1200|12\r\n";
const QByteArray kMonthly = "Paper|Sub|2026-03-01|50.00|1\r\n";

QListWidget* List(const QWidget* window)
{
    auto* due = window->findChild<QListWidget*>("lstDue");
    return due ? due : Find<QListWidget>(window, "lstDisplay");
}
// n, p: next and previous month; N, P: next and previous year; z: now.
void Navigate(const QWidget* w, const QString& clicks)
{
    for (const QChar c : clicks)
        Click(w, QHash<QChar, QString>{{'n', "cmdNext"},
                                       {'p', "cmdPrev"},
                                       {'N', "cmdNextYr"},
                                       {'P', "cmdPrevYr"},
                                       {'z', "cmdZero"}}[c]);
}
// Which of Prev Mon, Prev Yr, Now, Next Mon, Next Yr, Step, Pay and Cancel are enabled.
QString Enabled(const QWidget* w)
{
    QString mask;
    for (const char* name : {"cmdPrev", "cmdPrevYr", "cmdZero", "cmdNext", "cmdNextYr", "cmdStep",
                             "cmdPay", "cmdNoPay"})
        mask += Find(w, name)->isEnabled() ? '1' : '0';
    return mask;
}
QString Caption(const QWidget* w)
{
    return Find<QLabel>(w, "labE")->text();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    void navigation_data()
    {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("the start, a due payment selected") << ""
                                                           << "2026-06"
                                                           << "00011111";
        QTest::newRow("into the next year") << "nnnnnnn"
                                            << "2027-01"
                                            << "10111000";
        QTest::newRow("a year") << "N"
                                << "2027-06"
                                << "11111000";
        QTest::newRow("back a year from twelve") << "NP"
                                                 << "2026-06"
                                                 << "00011000";
        QTest::newRow("back a month") << "nnp"
                                      << "2026-07"
                                      << "10111000";
        QTest::newRow("109 months") << "NNNNNNNNNn"
                                    << "2035-07"
                                    << "11110000";
        QTest::newRow("the horizon, and no further") << "NNNNNNNNNNnN"
                                                     << "2036-06"
                                                     << "11100000";
        QTest::newRow("now") << "Nnnz"
                             << "2026-06"
                             << "00011000";
        QTest::newRow("nothing before now") << "pP"
                                            << "2026-06"
                                            << "00011111";
    }
    // The month shown moves, and the chart's marker with it; a selection does not survive.
    void navigation()
    {
        QFETCH(QString, clicks);
        QFETCH(QString, month);
        QFETCH(QString, enabled);
        QVERIFY(f->open(kMonthly + kTwoYearly));
        MainWindow w(*f->app);
        w.show();
        tu::ClickRow(List(&w), 0);
        Navigate(&w, clicks);
        QCOMPARE(Caption(&w) + " " + Enabled(&w), "Payments due in " + month + " " + enabled);
        int marker = -1;
        for (const ChartLine& line : Find<SavingsChart>(&w, "picGraph")->plan().lines)
            marker = line.colour == chartcolours::Marker ? int(line.x1) : marker;
        QCOMPARE(marker, (month.left(4).toInt() - 2026) * 12 + month.mid(5).toInt() - 6);
        QCOMPARE(f->bytes(), kMonthly + kTwoYearly);
    }

    void figures_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("labels");   // lab1 to lab4, labE, labF, apart by |
        QTest::addColumn<QStringList>("rows"); // each with its record number
        QTest::newRow("two yearly, now")
            << kTwoYearly << ""
            << "200.00 |1,200.00 |1,200.00 |.00 |Payments due in 2026-06|Graph: $600.00 freed"
            << QStringList{"1 2026-06-01 1,200.00  Sub  Insurance"};
        QTest::newRow("two yearly, three months on")
            << kTwoYearly << "nnn"
            << "200.00 |600.00 |.00 |600.00 |Payments due in 2026-09|Graph: $600.00 freed"
            << QStringList{};
        // In text order without case, not file order; unusable lines left out; names in the
        // single-byte code page and in UTF-8 both shown.
        QTest::newRow("due list in text order")
            << QByteArray("A|B\r\nX|Y|2026-01-01|abc|1\r\nLate|Sub|2026-06-20|1234.5|1\r\nb|Sub|"
                          "2026-06-01|5|1"
                          "\r\nCaf\xc3\xa9|Sub|2026-06-01|5|1\r\nCr\xe8me|Sub|2026-06-01|.25|1")
            << ""
            << "1,244.75 |1,244.75 |1,244.75 |.00 |Payments due in 2026-06|Graph: $.00 freed"
            << QStringList{"6 2026-06-01      .25  Sub  Cr\u00e8me",
                           "4 2026-06-01     5.00  Sub  b", "5 2026-06-01     5.00  Sub  Caf\u00e9",
                           "3 2026-06-20 1,234.50  Sub  Late"};
        QTest::newRow("empty file")
            << QByteArray() << "N"
            << ".00 |.00 |.00 |.00 |Payments due in 2027-06|Graph: $.00 freed" << QStringList{};
    }
    void figures()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, clicks);
        QFETCH(QString, labels);
        QFETCH(QStringList, rows);
        QVERIFY(f->open(contents));
        MainWindow w(*f->app);
        w.show();
        Navigate(&w, clicks);
        QStringList shown, numbered;
        for (const char* name : {"lab1", "lab2", "lab3", "lab4", "labE", "labF"})
            shown << Find<QLabel>(&w, name)->text();
        for (int i = 0; i < List(&w)->count(); ++i)
            numbered << QString::number(tu::Numbers(List(&w))[i]) + " " + tu::Rows(List(&w))[i];
        QCOMPARE(shown.join('|'), labels);
        QCOMPARE(numbered, rows);
        QCOMPARE(f->shown(), QStringList());
    }

    void pay_data()
    {
        QTest::addColumn<QByteArray>("line");    // line 2 of the file, due this month
        QTest::addColumn<QString>("answer");     // typed over the amount, then the button
        QTest::addColumn<QString>("shown");      // the prompt's months and the amount shown
        QTest::addColumn<QByteArray>("written"); // line 2 afterwards
        const QByteArray car = "Car|Sub|2026-06-01|1234.5|12";
        QTest::newRow("NoChange keeps 1234.5 as stored")
            << car << " cmdNoChange"
            << "12 months 1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
        QTest::newRow("close box keeps the amount")
            << car << "9 close"
            << "12 months 1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
        QTest::newRow("Change to 1300")
            << car << "1300 cmdChange"
            << "12 months 1,234.50" << QByteArray("Car|Sub|2027-06-15|1,300.00|12");
        QTest::newRow("Change with the same amount keeps its text")
            << car << " cmdChange"
            << "12 months 1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
        QTest::newRow("Change rounds 10.123 to 10.12")
            << QByteArray("Pen|SG|2026-06-01|10.123|1") << " cmdChange"
            << "1 month 10.12" << QByteArray("Pen|SG|2026-07-15|10.12|1");
        QTest::newRow("Change below one dollar")
            << QByteArray("Pen|SG|2026-06-01|3|1") << "0.5 cmdChange"
            << "1 month 3.00" << QByteArray("Pen|SG|2026-07-15|.50|1");
        QTest::newRow("Add 10% and further fields kept")
            << QByteArray("Gym|Mem|2026-06-01|40.00|3|card 7|x") << " cmdIncrease(1) cmdChange"
            << "3 months 40.00" << QByteArray("Gym|Mem|2026-09-15|44.00|3|card 7|x");
    }
    // Pay sets the next date to today plus the period; the dialog shows half way through
    // the rewrite, while the data file is still untouched.
    void pay()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, answer);
        QFETCH(QString, shown);
        QFETCH(QByteArray, written);
        const QByteArray first = "Cr\xe8me|Sub|2027-01-01|6|12\r\n",
                         last = "Tax|Sub|2026-12-01|1200|12";
        QVERIFY(f->open(first + line + "\r\n" + last));
        MainWindow w(*f->app);
        w.show();
        QCOMPARE(tu::Numbers(List(&w)), QList<int>{2});
        tu::ClickRow(List(&w), 0);
        QString prompt, amount;
        tu::Answer dialog({[&](QWidget* d) {
            prompt = Find<QLabel>(d, "labA")->text();
            amount = Find<QLineEdit>(d, "txtChange")->text();
            QVERIFY(f->scratch() && f->bytes() == first + line + "\r\n" + last);
            const QStringList steps = answer.split(' ');
            if (!steps[0].isEmpty())
                tu::Retype(d, "txtChange", steps[0]);
            for (const QString& button : steps.mid(1)) {
                if (button == "close")
                    d->close();
                else
                    Click(d, button);
            }
        }});
        Click(&w, "cmdPay");
        QCOMPARE(dialog.seen + dialog.unanswered, QStringList{"frmChangeDollar"});
        QVERIFY2(prompt.endsWith("due in " + shown.section(' ', 0, 1) + ", enter it here"),
                 qPrintable(prompt));
        QCOMPARE(amount, shown.section(' ', 2));
        QCOMPARE(f->bytes(), first + written + "\r\n" + last + "\r\n");
        QVERIFY(!f->scratch() && f->shown().isEmpty());
        QCOMPARE(Enabled(&w), QStringLiteral("00011000"));
    }

    // Pay from a later month still counts from today, and the window stays on that month;
    // Step moves a payment on by one month without asking; Cancel changes nothing.
    void payAheadStepAndCancel()
    {
        QVERIFY(f->open("Water|Sub|2026-09-01|90.00|3\r\nPaper|Sub|2026-06-01|50.00|1|x\r\n"));
        MainWindow w(*f->app);
        w.show();
        Navigate(&w, "nnn");
        tu::ClickRow(List(&w), 1);
        QCOMPARE(Enabled(&w).right(3), QStringLiteral("011")); // Step only in the current month
        tu::Answer noChange({[](QWidget* d) { Click(d, "cmdNoChange"); }});
        Click(&w, "cmdPay");
        QCOMPARE(Caption(&w) + tu::Rows(List(&w)).value(1),
                 "Payments due in 2026-092026-09-15    90.00  Sub  Water");
        Navigate(&w, "z");
        tu::ClickRow(List(&w), 0);
        tu::Answer none;
        Click(&w, "cmdStep");
        QVERIFY(none.seen.isEmpty() && tu::Rows(List(&w)).isEmpty());
        Navigate(&w, "n");
        QCOMPARE(tu::Rows(List(&w)), QStringList{"2026-07-01    50.00  Sub  Paper"});
        tu::ClickRow(List(&w), 0);
        Click(&w, "cmdNoPay");
        QVERIFY(Enabled(&w).endsWith("000") && List(&w)->selectedItems().isEmpty());
        QCOMPARE(f->bytes(), "Water|Sub|2026-09-15|90.00|3\r\nPaper|Sub|2026-07-01|50.00|1|x\r\n");
    }

    void lineChangedBehindTheWindow_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("changed");
        QTest::newRow("Step, four fields")
            << "cmdStep" << QByteArray("Paper|Sub|2026-06-01|50.00\r\n");
        QTest::newRow("Step, no month part")
            << "cmdStep" << QByteArray("Paper|Sub|2026|50.00|1\r\n");
        QTest::newRow("Pay, four fields")
            << "cmdPay" << QByteArray("Paper|Sub|2026-06-01|50.00\r\n");
        QTest::newRow("Pay, amount no number")
            << "cmdPay" << QByteArray("Paper|Sub|2026-06-01|x|1\r\n");
        QTest::newRow("Step, record gone") << "cmdStep" << QByteArray();
        QTest::newRow("Pay, record gone") << "cmdPay" << QByteArray();
    }
    // The window lists what the file held at its last refresh; a line edited by hand since
    // is written back as it is, without a question.
    void lineChangedBehindTheWindow()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, changed);
        QVERIFY(f->open("Tax|Sub|2026-12-01|1200|12\r\n" + kMonthly));
        MainWindow w(*f->app);
        w.show();
        tu::ClickRow(List(&w), 0);
        QVERIFY(tu::WriteFile(f->dataPath, "Tax|Sub|2026-12-01|1200|12\r\n" + changed)); // in place
        tu::Answer none;
        Click(&w, button);
        QCOMPARE(none.seen, QStringList());
        QCOMPARE(f->bytes(), "Tax|Sub|2026-12-01|1200|12\r\n" + changed);
    }

    // A rewrite that cannot start asks nothing; one whose new file cannot be put in place is
    // reported and leaves the file, and the payment can be paid again.
    void failedRewrites()
    {
        QVERIFY(f->open(kMonthly));
        MainWindow w(*f->app);
        w.show();
        QVERIFY(QDir().mkdir(f->tempPath));
        for (const char* button : {"cmdPay", "cmdStep"}) {
            tu::ClickRow(List(&w), 0);
            tu::Answer none;
            Click(&w, button);
            QVERIFY(none.seen.isEmpty() && f->shown().size() == 1);
        }
        QVERIFY(QDir().rmdir(f->tempPath));
        tu::ClickRow(List(&w), 0);
        tu::Answer removing({[this](QWidget* d) {
            QVERIFY(QFile::remove(f->tempPath));
            Click(d, "cmdNoChange");
        }});
        Click(&w, "cmdPay");
        QVERIFY(f->bytes() == kMonthly && f->shown().join(' ').contains(f->dataPath));
        tu::ClickRow(List(&w), 0);
        tu::Answer again({[](QWidget* d) { Click(d, "cmdNoChange"); }});
        Click(&w, "cmdPay");
        QCOMPARE(f->bytes(), QByteArray("Paper|Sub|2026-07-15|50.00|1\r\n"));
    }

    void entryOrders_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("rows"); // each with its record number
        QTest::newRow("name, without case")
            << 0
            << QStringList{"2 alice  Mem  2026-01-10  1,200.00  12",
                           "1 B\u00e9b  Subs  2026-06-01  25.00  1"};
        QTest::newRow("type, cut to three") << 1
                                            << QStringList{"2 Mem  alice  2026-01-10  1,200.00  12",
                                                           "1 Sub  B\u00e9b  2026-06-01  25.00  1"};
        QTest::newRow("date, the next occurrence")
            << 2
            << QStringList{"2 2026-01-10  alice  Mem  1,200.00  12",
                           "1 2026-06-01  B\u00e9b  Subs  25.00  1"};
        QTest::newRow("amount") << 3
                                << QStringList{"1    25.00  B\u00e9b  Subs  2026-06-01  1",
                                               "2 1,200.00  alice  Mem  2026-01-10  12"};
        QTest::newRow("duration") << 4
                                  << QStringList{"1    1  B\u00e9b  Subs  2026-06-01  25.00",
                                                 "2   12  alice  Mem  2026-01-10  1,200.00"};
        QTest::newRow("raw, the stored date")
            << 5
            << QStringList{"1      1  B\u00e9b|Subs|2025-03-01|25.00|1",
                           "2      2  alice|Mem|2026-01-10|1,200.00|12"};
    }
    // Every opening starts in the Name order.
    void entryOrders()
    {
        QFETCH(int, order);
        QFETCH(QStringList, rows);
        const QByteArray contents =
            "B\xe9"
            "b|Subs|2025-03-01|25.00|1\r\nalice|Mem|2026-01-10|1,200.00|12\r\n";
        QVERIFY(f->open(contents));
        for (int opening = 0; opening < 2; ++opening) {
            EntryListDialog list(*f->app);
            list.show();
            QVERIFY(Find<QAbstractButton>(&list, "Option1(0)")->isChecked());
            Click(&list, QStringLiteral("Option1(%1)").arg(order));
            QStringList numbered;
            for (int i = 0; i < List(&list)->count(); ++i)
                numbered << QString::number(tu::Numbers(List(&list))[i]) + " " +
                                tu::Rows(List(&list))[i];
            QCOMPARE(numbered, rows);
        }
        QCOMPARE(f->bytes(), contents);
    }

    // Edit needs one selected entry and Delete at least one; Esc stands for Edit while it is
    // enabled, Enter for New entry. Deleting renumbers the later records, deleting all of
    // them brings the introduction back, and an empty list is not printed.
    void entrySelectionAndDelete()
    {
        QVERIFY(f->open("Echo|S|d|5|1\r\ndelta|S|d|3|1\r\nCharlie|S|d|2|1\r\nbravo|S|d|4|"
                        "1\r\nAlpha|S|d|1|1\r\n"));
        EntryListDialog list(*f->app);
        list.show();
        QListWidget* rows = List(&list);
        const auto buttons = [&list] {
            return QString("%1%2")
                .arg(Find(&list, "cmdEdit")->isEnabled())
                .arg(Find(&list, "cmdDelete")->isEnabled());
        };
        tu::Answer nothing;
        QTest::keyClick(rows, Qt::Key_Escape);
        QVERIFY(nothing.seen.isEmpty() && buttons() == "00");
        Click(&list, "Option1(3)"); // by amount: Alpha, Charlie, delta, bravo, Echo
        tu::ClickRow(rows, 0);
        QCOMPARE(buttons(), QStringLiteral("11"));
        tu::ClickRow(rows, 2, Qt::ShiftModifier);
        QCOMPARE(buttons() + QString::number(rows->selectedItems().size()), QStringLiteral("013"));
        tu::ClickRow(rows, 1, Qt::ControlModifier);
        tu::ClickRow(rows, 2, Qt::ControlModifier);
        QCOMPARE(buttons(), QStringLiteral("11"));
        tu::Answer forms({[](QWidget* edit) {
                              QCOMPARE(Find<QLineEdit>(edit, "txtIn(0)")->text(),
                                       QStringLiteral("Alpha"));
                              Click(edit, "cmdCancel");
                          },
                          [](QWidget* add) { Click(add, "cmdCancel"); }});
        QTest::keyClick(rows, Qt::Key_Escape);
        QTest::keyClick(rows, Qt::Key_Return);
        QCOMPARE(forms.seen + forms.unanswered, (QStringList{"frmChange", "frmAdd"}));
        QCOMPARE(buttons(), QStringLiteral("00")); // rebuilt with nothing selected
        for (const int row : {2, 0, 1})            // delta, Alpha, Charlie: not in file order
            tu::ClickRow(rows, row, Qt::ControlModifier);
        Click(&list, "cmdDelete");
        QCOMPARE(f->bytes(), QByteArray("Echo|S|d|5|1\r\nbravo|S|d|4|1\r\n"));
        QCOMPARE(tu::Rows(rows),
                 (QStringList{"    4.00  bravo  S  d  1", "    5.00  Echo  S  d  1"}));
        QCOMPARE(tu::Numbers(rows), (QList<int>{2, 1}));
        rows->setFocus();
        QTest::keyClick(rows, Qt::Key_A, Qt::ControlModifier);
        tu::Answer empty({[](QWidget* intro) { Click(intro, "cmdContinue"); },
                          [](QWidget* add) { Click(add, "cmdCancel"); }});
        Click(&list, "cmdDelete");
        QCOMPARE(empty.seen + empty.unanswered, (QStringList{"frmIntro", "frmAdd"}));
        QVERIFY(f->bytes().isEmpty() && rows->count() == 0 && !platform::ProgramEnding());
        platform::PrinterTestHook::setPrinterAvailable(true);
        Click(&list, "cmdPrint");
        QVERIFY(platform::PrinterTestHook::takePrinted().isEmpty() && f->shown().isEmpty() &&
                !f->scratch());
    }

    // New entry and Edit open their forms on the data file; then the list is rebuilt in the
    // order it had, with nothing selected.
    void addAndEditFromTheList()
    {
        QVERIFY(f->open(kTwoYearly + "Rent|Sub|2025-03-01|500.00|1\r\n"));
        EntryListDialog list(*f->app);
        list.show();
        Click(&list, "Option1(5)");
        tu::ClickRow(List(&list), 2);
        tu::Answer forms({[this](QWidget* edit) {
                              QVERIFY(f->scratch());
                              tu::Retype(edit, "txtIn(0)", "Flat rent");
                              Click(edit, "cmdAccept");
                          },
                          [](QWidget* add) {
                              for (int i = 0; i < 5; ++i)
                                  tu::Retype(add, QStringLiteral("txtIn(%1)").arg(i),
                                             QString("Car SG 2026-9-1 10 3").section(' ', i, i));
                              Click(add, "cmdUseIt");
                              Click(add, "cmdCancel");
                          }});
        Click(&list, "cmdEdit");
        Click(&list, "cmdAdd");
        QCOMPARE(forms.seen + forms.unanswered, (QStringList{"frmChange", "frmAdd"}));
        QCOMPARE(f->bytes(),
                 kTwoYearly + "Flat rent|Sub|2026-06-01|500.00|1\r\nCar|SG|2026-09-01|10.00|3\r\n");
        QCOMPARE(tu::Rows(List(&list)).mid(2),
                 (QStringList{"     3  Flat rent|Sub|2026-06-01|500.00|1",
                              "     4  Car|SG|2026-09-01|10.00|3"}));
        QVERIFY(List(&list)->selectedItems().isEmpty());
    }

    // The list is printed as displayed; without a printer the user may save it as a PDF file:
    // declined, the file dialog cancelled, a folder that is not there, a file written.
    void print()
    {
        QVERIFY(f->open(kTwoYearly + kMonthly));
        EntryListDialog list(*f->app);
        list.show();
        Click(&list, "Option1(3)");
        platform::PrinterTestHook::setPrinterAvailable(true);
        Click(&list, "cmdPrint");
        QCOMPARE(platform::PrinterTestHook::takePrinted(), tu::Rows(List(&list)));
        QCOMPARE(tu::Rows(List(&list)).value(0),
                 QStringLiteral("   50.00  Paper  Sub  2026-06-01  1"));
        platform::PrinterTestHook::setPrinterAvailable(false);
        const QString pdf = f->dir.filePath("entries.pdf");
        const std::tuple<bool, QString, int> tries[] = {{false, pdf, 1},
                                                        {true, "", 1},
                                                        {true, f->dir.filePath("none/x.pdf"), 2},
                                                        {true, pdf, 1}};
        for (const auto& [yes, name, messages] : tries) {
            platform::MessageTestHook::queueAnswer(yes);
            platform::PrinterTestHook::setSaveFileName(name);
            Click(&list, "cmdPrint");
            const QStringList shown = f->shown();
            QVERIFY(
                shown.size() == messages &&
                shown.last().startsWith(messages == 1 ? "No printer" : "Kestrow could not save"));
            QCOMPARE(platform::PrinterTestHook::takeFileDialogs(), int(yes));
            QCOMPARE(QFile::exists(pdf), yes && name == pdf);
        }
        QVERIFY(tu::ReadFile(pdf).startsWith("%PDF-") &&
                platform::PrinterTestHook::takePrinted().isEmpty());
    }

    // Enter opens the entries; when they close, the window shows the file as it then is.
    // Exit and the close box end the program and change nothing.
    void editEntriesAndLeaving()
    {
        QVERIFY(f->open(kMonthly));
        MainWindow w(*f->app);
        w.show();
        Navigate(&w, "n");
        tu::ClickRow(List(&w), 0);
        tu::Answer entries({[this](QWidget* list) {
            QVERIFY(f->write(kMonthly + "Tea|Sub|2026-06-02|3.00|1\r\n")); // as the list would
            Click(list, "cmdDone");
        }});
        QTest::keyClick(List(&w), Qt::Key_Return);
        QCOMPARE(entries.seen + entries.unanswered, QStringList{"frmEdit"});
        QCOMPARE(Caption(&w) + " " + Enabled(&w) + " " + Find<QLabel>(&w, "lab1")->text(),
                 QStringLiteral("Payments due in 2026-07 10111000 53.00 "));
        QCOMPARE(tu::Rows(List(&w)),
                 (QStringList{"2026-06-01    50.00  Sub  Paper", "2026-06-02     3.00  Sub  Tea"}));
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
