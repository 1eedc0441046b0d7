// What a screen reader and a keyboard user get from every window: each control that takes
// the focus has a name (its caption, or the label beside it), tooltips become
// descriptions, Tab reaches the controls in the order of the form, and the chart says
// how much money is freed.
#include "frmadd.h"
#include "frmchange.h"
#include "frmchangedollar.h"
#include "frmedit.h"
#include "frmintro.h"
#include "frmmain.h"
#include "modaltest.h"
#include "savingschart.h"

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

// Every control a user can reach with Tab, in the window's focus chain.
QList<QWidget*> reachable(QWidget* window)
{
    QList<QWidget*> controls;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled())
            controls << w;
    }
    return controls;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyControlIsNamed_data();
    void everyControlIsNamed();
    void boxesAreNamedByTheirLabels();
    void tabWalksTheChangeDollarDialog();
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
    modMain::EditIndex = 1;
    modMain::DollarMonths = 3;
    modMain::DollarAmount = 100;
}

void TestAccessibility::cleanup()
{
    End();
    folder.reset();
}

void TestAccessibility::everyControlIsNamed_data()
{
    QTest::addColumn<QString>("window");
    for (const char* name :
         {"frmMain", "frmAdd", "frmIntro", "frmEdit", "frmChange", "frmChangeDollar"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestAccessibility::everyControlIsNamed()
{
    QFETCH(QString, window);
    std::unique_ptr<QWidget> w;
    if (window == "frmMain")
        w = std::make_unique<frmMain>();
    else if (window == "frmAdd")
        w = std::make_unique<frmAdd>();
    else if (window == "frmIntro")
        w = std::make_unique<frmIntro>();
    else if (window == "frmEdit")
        w = std::make_unique<frmEdit>();
    else if (window == "frmChange")
        w = std::make_unique<frmChange>();
    else
        w = std::make_unique<frmChangeDollar>();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    const QList<QWidget*> controls = reachable(w.get());
    QVERIFY(controls.size() >= 2);
    for (QWidget* control : controls) {
        QVERIFY2(!accessibleText(control, QAccessible::Name).trimmed().isEmpty(),
                 qPrintable(control->objectName() + " has no accessible name"));
        if (!control->toolTip().isEmpty())
            QCOMPARE(accessibleText(control, QAccessible::Description), control->toolTip());
    }
    if (auto* dialog = qobject_cast<QDialog*>(w.get()))
        dialog->reject();
}

void TestAccessibility::boxesAreNamedByTheirLabels()
{
    frmChange form;
    const char* labels[] = {"Name", "Type", "Date", "Amount", "Duration"};
    for (int i = 0; i < 5; ++i) {
        auto* box = form.findChild<QLineEdit*>(QStringLiteral("txtIn(%1)").arg(i));
        QVERIFY(box);
        QCOMPARE(accessibleText(box, QAccessible::Name), QString::fromLatin1(labels[i]));
    }
    form.reject();

    frmAdd add;
    auto* date = add.findChild<QLineEdit*>(QStringLiteral("txtIn(2)"));
    QVERIFY(date);
    QCOMPARE(accessibleText(date, QAccessible::Name), QStringLiteral("Date"));
    add.reject();
}

void TestAccessibility::tabWalksTheChangeDollarDialog()
{
    // The tab order the dialog was laid out with: Change, NoChange, the amount, the five
    // percentage buttons, the check box.
    frmChangeDollar dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* change = dialog.findChild<QPushButton*>(QStringLiteral("cmdChange"));
    QVERIFY(change);
    change->setFocus();
    QStringList order;
    for (int i = 0; i < 9; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, (QStringList{"cmdChange", "cmdNoChange", "txtChange", "cmdIncrease(0)",
                                 "cmdIncrease(1)", "cmdIncrease(2)", "cmdIncrease(3)",
                                 "cmdIncrease(4)", "chkAddSub"}));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdChange"));
    dialog.reject();
}

void TestAccessibility::chartDescribesTheFreedMoney()
{
    frmMain main;
    auto* chart = main.findChild<SavingsChart*>();
    QVERIFY(chart);
    // A yearly 1,200.00 due in March and a monthly payment: the pot is empty every March.
    const QString description = accessibleText(chart, QAccessible::Description);
    QVERIFY2(description.contains(QStringLiteral("$.00 freed")), qPrintable(description));
    QVERIFY2(description.contains(QStringLiteral("largest total $1100.00")),
             qPrintable(description));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
