// The change-dollar dialog as the user sees it after Pay: the prompt, the amount, the
// percentage buttons and the three ways out.
#include "forms/changeamountdialog.h"
#include "platform/messages.h"
#include "teststate.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestChangeDollar : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void windowAndControls();
    void prompt_data();
    void prompt();
    void amountShown_data();
    void amountShown();
    void percentageClicks_data();
    void percentageClicks();
    void captionsFollowTheBox();
    void changeSetsTheShownAmount_data();
    void changeSetsTheShownAmount();
    void leavingWithoutChange_data();
    void leavingWithoutChange();
    void textThatIsNotANumber_data();
    void textThatIsNotANumber();
    void freshShowingStartsClear();
    void shownModallyAndAnswered();

private:
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

void TestChangeDollar::init()
{
    teststate::Reset();
    platform::MessageTestHook::install();
}

void TestChangeDollar::cleanup()
{
    platform::MessageTestHook::uninstall();
}

void TestChangeDollar::windowAndControls()
{
    ChangeAmountDialog dlg(3, 100);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Change Dollar Amount?"));
    QCOMPARE(dlg.size(), QSize(312, 129));
    QCOMPARE(dlg.cmdChange->text(), QStringLiteral("Change"));
    QCOMPARE(dlg.cmdNoChange->text(), QStringLiteral("NoChange"));
    QCOMPARE(dlg.chkAddSub->text(), QStringLiteral("Check to reduce amount"));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(dlg.cmdIncrease[i]->objectName(), QStringLiteral("cmdIncrease(%1)").arg(i));
    // No default button: Enter in the amount box leaves the dialog open.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(QApplication::focusWidget(), dlg.cmdChange);
    dlg.txtChange->setFocus();
    QTest::keyClick(dlg.txtChange, Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.amount(), 100.0);

    // Tab order: Change, NoChange, the amount, the five buttons, the box.
    QList<QWidget*> expected{dlg.cmdChange, dlg.cmdNoChange, dlg.txtChange};
    for (QPushButton* b : dlg.cmdIncrease)
        expected << b;
    expected << dlg.chkAddSub;
    for (int i = 0; i + 1 < expected.size(); ++i)
        QCOMPARE(expected[i]->nextInFocusChain(), expected[i + 1]);
}

void TestChangeDollar::prompt_data()
{
    QTest::addColumn<int>("months");
    QTest::addColumn<QString>("ending");
    QTest::newRow("1 month") << 1 << "due in 1 month, enter it here";
    QTest::newRow("3 months") << 3 << "due in 3 months, enter it here";
    QTest::newRow("12 months") << 12 << "due in 12 months, enter it here";
}

void TestChangeDollar::prompt()
{
    QFETCH(int, months);
    QFETCH(QString, ending);
    ChangeAmountDialog dlg(months, 100);
    QCOMPARE(dlg.labA->text(), "If you want to change the dollar amount for the payment " + ending);
}

void TestChangeDollar::amountShown_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1234.5") << 1234.5 << "1,234.50";
    QTest::newRow("0.5") << 0.5 << "0.50";
    QTest::newRow("0") << 0.0 << "0.00";
    QTest::newRow("a million") << 1000000.0 << "1,000,000.00";
}

void TestChangeDollar::amountShown()
{
    QFETCH(double, amount);
    QFETCH(QString, shown);
    ChangeAmountDialog dlg(3, amount);
    QCOMPARE(dlg.txtChange->text(), shown);
}

void TestChangeDollar::percentageClicks_data()
{
    QTest::addColumn<double>("amount");
    // Each click: the button index, and whether the box is ticked at that moment.
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<QList<bool>>("ticked");
    QTest::addColumn<QString>("result");
    QTest::newRow("200 sub 25%") << 200.0 << QList<int>{4} << QList<bool>{true} << "150.00";
    QTest::newRow("200 add 25%") << 200.0 << QList<int>{4} << QList<bool>{false} << "250.00";
    QTest::newRow("100 add 10% twice compounds")
        << 100.0 << QList<int>{1, 1} << QList<bool>{false, false} << "121.00";
    QTest::newRow("add 10% then sub 10% is not back to 100")
        << 100.0 << QList<int>{1, 1} << QList<bool>{false, true} << "99.00";
    QTest::newRow("add 5% rounds to cents")
        << 10.01 << QList<int>{0} << QList<bool>{false} << "10.51";
    QTest::newRow("grouped thousands read back")
        << 1234.5 << QList<int>{3} << QList<bool>{false} << "1,481.40";
}

void TestChangeDollar::percentageClicks()
{
    QFETCH(double, amount);
    QFETCH(QList<int>, buttons);
    QFETCH(QList<bool>, ticked);
    QFETCH(QString, result);
    ChangeAmountDialog dlg(3, amount);
    dlg.show();
    for (int i = 0; i < buttons.size(); ++i) {
        if (dlg.chkAddSub->isChecked() != ticked[i])
            dlg.chkAddSub->click();
        click(dlg.cmdIncrease[buttons[i]]);
    }
    QCOMPARE(dlg.txtChange->text(), result);
    QCOMPARE(dlg.amount(), amount); // only "Change" hands it over
    QVERIFY(dlg.isVisible());
}

void TestChangeDollar::captionsFollowTheBox()
{
    ChangeAmountDialog dlg(3, 100);
    dlg.show();
    auto captions = [&dlg] {
        QStringList list;
        for (QPushButton* b : dlg.cmdIncrease)
            list << b->text();
        return list;
    };
    QCOMPARE(captions(), (QStringList{"Add 5%", "Add 10%", "Add 15%", "Add 20%", "Add 25%"}));
    QTest::mouseClick(dlg.chkAddSub, Qt::LeftButton, {}, QPoint(5, dlg.chkAddSub->height() / 2));
    QVERIFY(dlg.chkAddSub->isChecked());
    QCOMPARE(captions(), (QStringList{"Sub 5%", "Sub 10%", "Sub 15%", "Sub 20%", "Sub 25%"}));
    QCOMPARE(dlg.txtChange->text(), QStringLiteral("100.00"));
    dlg.chkAddSub->setFocus();
    QTest::keyClick(dlg.chkAddSub, Qt::Key_Space);
    QVERIFY(!dlg.chkAddSub->isChecked());
    QCOMPARE(captions(), (QStringList{"Add 5%", "Add 10%", "Add 15%", "Add 20%", "Add 25%"}));
}

void TestChangeDollar::changeSetsTheShownAmount_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("result");
    QTest::newRow("untouched 10.123 comes back as 10.12") << 10.123 << QString() << 10.12;
    QTest::newRow("typed 1300") << 1234.5 << "1300" << 1300.0;
    QTest::newRow("typed with grouping") << 1234.5 << "2,500.75" << 2500.75;
    QTest::newRow("typed with blanks") << 5.0 << " 7.5 " << 7.5;
}

void TestChangeDollar::changeSetsTheShownAmount()
{
    QFETCH(double, amount);
    QFETCH(QString, typed);
    QFETCH(double, result);
    ChangeAmountDialog dlg(3, amount);
    dlg.show();
    if (!typed.isNull()) {
        dlg.txtChange->selectAll();
        QTest::keyClicks(dlg.txtChange, typed);
    }
    click(dlg.cmdChange);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.amount(), result);
    QVERIFY(platform::MessageTestHook::takeShown().isEmpty());
}

void TestChangeDollar::leavingWithoutChange_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("NoChange") << "NoChange";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close box") << "close";
    QTest::newRow("Enter on NoChange") << "Enter";
}

void TestChangeDollar::leavingWithoutChange()
{
    QFETCH(QString, how);
    ChangeAmountDialog dlg(3, 1000);
    dlg.show();
    click(dlg.cmdIncrease[4]);
    click(dlg.cmdIncrease[2]);
    QCOMPARE(dlg.txtChange->text(), QStringLiteral("1,437.50"));
    if (how == "NoChange") {
        click(dlg.cmdNoChange);
    } else if (how == "Esc") {
        QTest::keyClick(dlg.txtChange, Qt::Key_Escape);
    } else if (how == "Enter") {
        dlg.cmdNoChange->setFocus();
        QTest::keyClick(dlg.cmdNoChange, Qt::Key_Return);
    } else {
        dlg.close();
    }
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(dlg.amount(), 1000.0);
}

void TestChangeDollar::textThatIsNotANumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("percentage");
    QTest::newRow("empty, Change") << "" << false;
    QTest::newRow("letters, Change") << "abc" << false;
    QTest::newRow("two points, Change") << "1.2.3" << false;
    QTest::newRow("empty, 5%") << "" << true;
    QTest::newRow("letters, 5%") << "ten" << true;
}

void TestChangeDollar::textThatIsNotANumber()
{
    QFETCH(QString, typed);
    QFETCH(bool, percentage);
    ChangeAmountDialog dlg(3, 42);
    dlg.show();
    dlg.txtChange->selectAll();
    QTest::keyClick(dlg.txtChange, Qt::Key_Delete);
    QTest::keyClicks(dlg.txtChange, typed);
    click(percentage ? dlg.cmdIncrease[0] : dlg.cmdChange);
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList{"Invalid amount"});
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.txtChange->text(), typed);
    QCOMPARE(dlg.amount(), 42.0);

    // Corrected, the same dialog goes on.
    dlg.txtChange->setText(QStringLiteral("50"));
    click(dlg.cmdChange);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.amount(), 50.0);
}

void TestChangeDollar::freshShowingStartsClear()
{
    {
        ChangeAmountDialog dlg(3, 100);
        dlg.show();
        dlg.chkAddSub->click();
        QVERIFY(dlg.chkAddSub->isChecked());
        dlg.txtChange->setText(QStringLiteral("7"));
        click(dlg.cmdNoChange);
    }
    ChangeAmountDialog dlg(3, 80);
    QVERIFY(!dlg.chkAddSub->isChecked());
    QCOMPARE(dlg.cmdIncrease[0]->text(), QStringLiteral("Add 5%"));
    QCOMPARE(dlg.txtChange->text(), QStringLiteral("80.00"));
}

// Shown the way Pay shows it: modally, answered from outside the loop.
void TestChangeDollar::shownModallyAndAnswered()
{
    ChangeAmountDialog dlg(3, 100);
    bool seen = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto* open = qobject_cast<ChangeAmountDialog*>(QApplication::activeModalWidget());
        seen = open == &dlg;
        if (open) {
            QTest::mouseClick(open->cmdIncrease[1], Qt::LeftButton);
            QTest::mouseClick(open->cmdChange, Qt::LeftButton);
        }
        if (dlg.isVisible())
            dlg.done(QDialog::Rejected);
    });
    dlg.exec();
    QVERIFY(seen);
    QCOMPARE(dlg.amount(), 110.0);
}

QTEST_MAIN(TestChangeDollar)
#include "tst_frmchangedollar.moc"
