// What a screen reader and a keyboard user get from every window: each control that takes
// the focus has a name (its caption, or the label beside it), tooltips become
// descriptions, Tab reaches the controls in the order of the form, and the chart says
// how much money is freed.
#include "forms/addrecorddialog.h"
#include "forms/changeamountdialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "modaltest.h"
#include "teststate.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>

using namespace modaltest;

namespace {

QString accessibleText(QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(which) : QString();
}

std::unique_ptr<QWidget> make(const QString& window)
{
    if (window == "frmMain")
        return std::make_unique<MainWindow>(teststate::State());
    if (window == "frmAdd")
        return std::make_unique<AddRecordDialog>(teststate::State());
    if (window == "frmIntro")
        return std::make_unique<IntroDialog>(teststate::State());
    if (window == "frmEdit")
        return std::make_unique<EntryListDialog>(teststate::State());
    if (window == "frmChange")
        return std::make_unique<EditRecordDialog>(teststate::State(), 1);
    return std::make_unique<ChangeAmountDialog>(3, 100.0);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void boxesAreNamedByTheirLabels();
    void tabWalksEveryWindow_data();
    void tabWalksEveryWindow();
    void chartDescribesTheFreedMoney();

private:
    std::unique_ptr<Folder> folder;
};

void TestAccessibility::init()
{
    folder = std::make_unique<Folder>();
    Begin(*folder);
    QVERIFY(folder->write("Rent|Sub|2026-06-01|950.00|1\r\nCar|Sub|2026-03-01|1,200.00|12\r\n"));
    QVERIFY(folder->open());
}

void TestAccessibility::cleanup()
{
    End();
    folder.reset();
}

void TestAccessibility::boxesAreNamedByTheirLabels()
{
    EditRecordDialog form(teststate::State(), 1);
    const char* labels[] = {"Name", "Type", "Date", "Amount", "Duration"};
    for (int i = 0; i < 5; ++i) {
        auto* box = form.findChild<QLineEdit*>(QStringLiteral("txtIn(%1)").arg(i));
        QVERIFY(box);
        QCOMPARE(accessibleText(box, QAccessible::Name), QString::fromLatin1(labels[i]));
    }
    form.reject();

    AddRecordDialog add(teststate::State());
    auto* date = add.findChild<QLineEdit*>(QStringLiteral("txtIn(2)"));
    QVERIFY(date);
    QCOMPARE(accessibleText(date, QAccessible::Name), QStringLiteral("Date"));
    add.reject();
}

void TestAccessibility::tabWalksEveryWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("names"); // from the first focus, in Tab order
    QTest::addColumn<QStringList>("typed"); // into each box on the way, as far as given

    // At the current month the backward buttons are off, and so are Step, Pay and Cancel
    // until a due payment is selected.
    QTest::newRow("frmMain") << "frmMain"
                             << QStringList{"Payments due in 2026-06", "Next Mon", "Next Yr",
                                            "Edit Entries", "Exit"}
                             << QStringList();
    QTest::newRow("frmIntro") << "frmIntro" << QStringList{"Continue", "Exit"} << QStringList();
    // Leaving a box checks it, so the walk fills each box as a user would.
    QTest::newRow("frmAdd") << "frmAdd"
                            << QStringList{"Name",     "Type",           "Date",    "Amount",
                                           "Duration", "Use this entry", "Finished"}
                            << QStringList{"Rent", "Sub", "2026-07-01", "45", "12"};
    // Only the chosen order button takes the Tab; the arrow keys move between them.
    QTest::newRow("frmEdit") << "frmEdit"
                             << QStringList{"Entries", "Name", "New entry", "Print", "Done"}
                             << QStringList();
    QTest::newRow("frmChange") << "frmChange"
                               << QStringList{"Name",     "Type",   "Date",  "Amount",
                                              "Duration", "Accept", "Cancel"}
                               << QStringList();
    QTest::newRow("ChangeAmountDialog")
        << "ChangeAmountDialog"
        << QStringList{"Change",
                       "NoChange",
                       "If you want to change the dollar amount for the payment due in 3 months, "
                       "enter it here",
                       "Add 5%",
                       "Add 10%",
                       "Add 15%",
                       "Add 20%",
                       "Add 25%",
                       "Check to reduce amount"}
        << QStringList();
}

void TestAccessibility::tabWalksEveryWindow()
{
    QFETCH(QString, window);
    QFETCH(QStringList, names);
    QFETCH(QStringList, typed);
    std::unique_ptr<QWidget> w = make(window);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));

    QStringList walked;
    for (qsizetype i = 0; i <= names.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr && focus->window() == w.get());
        walked << accessibleText(focus, QAccessible::Name);
        if (!focus->toolTip().isEmpty())
            QVERIFY(accessibleText(focus, QAccessible::Description).startsWith(focus->toolTip()));
        if (auto* box = qobject_cast<QLineEdit*>(focus); box && i < typed.size())
            QTest::keyClicks(box, typed[i]);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    // Round to the first control again.
    QCOMPARE(walked, names + QStringList{names.front()});
    if (auto* dialog = qobject_cast<QDialog*>(w.get()))
        dialog->done(QDialog::Rejected);
}

void TestAccessibility::chartDescribesTheFreedMoney()
{
    MainWindow main(teststate::State());
    auto* chart = main.findChild<SavingsChart*>();
    QVERIFY(chart);
    // A yearly 1,200.00 due in March and a monthly payment: the pot is empty every March.
    const QString description = accessibleText(chart, QAccessible::Description);
    QVERIFY2(description.contains(QStringLiteral(" .00 freed")), qPrintable(description));
    QVERIFY2(description.contains(QStringLiteral("largest total 1,100.00")),
             qPrintable(description));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
