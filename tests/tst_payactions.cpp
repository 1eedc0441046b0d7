// Pay, Step and Cancel on the main window: the date arithmetic of both changes, and the
// data file after each action, byte for byte.
#include "core/dates.h"
#include "forms/mainwindow.h"
#include "mainwindow_testutil.h"
#include "teststate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace mainwindowtest;

class TestPayActions : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void stepDate_data();
    void stepDate();
    void paidDate_data();
    void paidDate();
    void pay_data();
    void pay();
    void payFromAMonthAheadCountsFromToday();
    void step();
    void cancelLeavesTheFileAlone();
    void lineChangedBehindTheWindow_data();
    void lineChangedBehindTheWindow();
    void failedRewriteKeepsTheFile();
    void scratchFileThatCannotBeMade_data();
    void scratchFileThatCannotBeMade();

private:
    Session session;
};

void TestPayActions::cleanup()
{
    session.stop();
}

void TestPayActions::stepDate_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("stepped"); // null: left as it is
    QTest::newRow("December into January") << "A|Sub|2026-12-15|10|12"
                                           << "A|Sub|2027-01-15|10|12";
    QTest::newRow("month padded, one-digit day kept") << "A|Sub|2026-3-5|10|12"
                                                      << "A|Sub|2026-04-5|10|12";
    QTest::newRow("day not fitted to the month") << "A|Sub|2026-01-31|10|12"
                                                 << "A|Sub|2026-02-31|10|12";
    QTest::newRow("short year padded") << "A|Sub|26-03-01|10|12"
                                       << "A|Sub|0026-04-01|10|12";
    QTest::newRow("further date part and sixth field kept") << "A|Sub|2026-05-01-x|1234.5|3|note"
                                                            << "A|Sub|2026-06-01-x|1234.5|3|note";
    QTest::newRow("month zero") << "A|Sub|2026-00-07|10|12"
                                << "A|Sub|2026-01-07|10|12";
    QTest::newRow("largest month, carried in 64 bits") << "A|Sub|2026-2147483647-01|10|12"
                                                       << "A|Sub|178958996-08-01|10|12";
    QTest::newRow("four fields") << "A|Sub|2026-05-01|10" << QString();
    QTest::newRow("no month part") << "A|Sub|2026|10|12" << QString();
    QTest::newRow("month not a number") << "A|Sub|2026-May-01|10|12" << QString();
    QTest::newRow("year empty") << "A|Sub|-05-01|10|12" << QString();
}

void TestPayActions::stepDate()
{
    QFETCH(QString, line);
    QFETCH(QString, stepped);
    const auto result = kestrow::SteppedLine(line.toStdString());
    QCOMPARE(result.has_value(), !stepped.isNull());
    if (result)
        QCOMPARE(QString::fromStdString(*result), stepped);
}

void TestPayActions::paidDate_data()
{
    QTest::addColumn<QString>("today");
    QTest::addColumn<qint64>("months");
    QTest::addColumn<QString>("paid");
    QTest::newRow("3 months") << "2026-11-20" << qint64(3) << "2027-02-20";
    QTest::newRow("12 months") << "2026-11-20" << qint64(12) << "2027-11-20";
    QTest::newRow("30 months") << "2026-11-20" << qint64(30) << "2029-05-20";
    QTest::newRow("day kept beyond the month") << "2026-01-31" << qint64(1) << "2026-02-31";
    QTest::newRow("December lands in December") << "2026-06-15" << qint64(6) << "2026-12-15";
    QTest::newRow("beyond 16 bits") << "2026-11-20" << qint64(32767) << "4757-06-20";
    QTest::newRow("beyond 32 bits") << "2026-11-20" << qint64(2147483647) << "178958997-06-20";
}

void TestPayActions::paidDate()
{
    QFETCH(QString, today);
    QFETCH(qint64, months);
    QFETCH(QString, paid);
    const auto result = kestrow::PaidDate(today.toStdString(), months);
    QVERIFY(result.has_value());
    QCOMPARE(QString::fromStdString(*result), paid);
}

void TestPayActions::pay_data()
{
    QTest::addColumn<QByteArray>("line");    // line 2 of the file, due this month
    QTest::addColumn<QString>("answer");     // what the user does in the dialog
    QTest::addColumn<QString>("typed");      // text typed into the amount box first
    QTest::addColumn<QString>("prompt");     // the end of the dialog's prompt
    QTest::addColumn<QString>("shown");      // the amount the dialog shows
    QTest::addColumn<QByteArray>("written"); // line 2 afterwards

    QTest::newRow("NoChange keeps 1234.5 as stored")
        << QByteArray("Car|Sub|2026-06-01|1234.5|12") << "NoChange" << QString()
        << "due in 12 months, enter it here"
        << "1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
    QTest::newRow("close box keeps the amount")
        << QByteArray("Car|Sub|2026-06-01|1234.5|12") << "close" << QString()
        << "due in 12 months, enter it here"
        << "1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
    QTest::newRow("Change to 1300") << QByteArray("Car|Sub|2026-06-01|1234.5|12") << "Change"
                                    << "1300"
                                    << "due in 12 months, enter it here"
                                    << "1,234.50" << QByteArray("Car|Sub|2027-06-15|1,300.00|12");
    QTest::newRow("Change, untouched, same amount keeps its text")
        << QByteArray("Car|Sub|2026-06-01|1234.5|12") << "Change" << QString()
        << "due in 12 months, enter it here"
        << "1,234.50" << QByteArray("Car|Sub|2027-06-15|1234.5|12");
    QTest::newRow("Change, untouched, 10.123 becomes 10.12")
        << QByteArray("Pen|SG|2026-06-01|10.123|1") << "Change" << QString()
        << "due in 1 month, enter it here"
        << "10.12" << QByteArray("Pen|SG|2026-07-15|10.12|1");
    QTest::newRow("Change below one dollar") << QByteArray("Pen|SG|2026-06-01|3|1") << "Change"
                                             << "0.5"
                                             << "due in 1 month, enter it here"
                                             << "3.00" << QByteArray("Pen|SG|2026-07-15|.50|1");
    QTest::newRow("a sixth field survives")
        << QByteArray("Gym|Mem|2026-06-01|40.00|3|card 7|x") << "Add 10%" << QString()
        << "due in 3 months, enter it here"
        << "40.00" << QByteArray("Gym|Mem|2026-09-15|44.00|3|card 7|x");
}

void TestPayActions::pay()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, answer);
    QFETCH(QString, typed);
    QFETCH(QString, prompt);
    QFETCH(QString, shown);
    QFETCH(QByteArray, written);

    const QByteArray first = "Cr\xe8me|Sub|2027-01-01|6|12\r\n";
    const QByteArray last = "Tax|Sub|2026-12-01|1,200.00|12"; // no line end
    QVERIFY(session.start(first + line + "\r\n" + last));
    MainWindow w(teststate::State());
    w.show();
    QCOMPARE(w.lstDue->count(), 1);
    QCOMPARE(RecordNumbers(w.lstDue), QList<int>{2});
    ClickRow(w.lstDue, 0);

    QString seenPrompt;
    QString seenAmount;
    bool scratchWhileOpen = false;
    QByteArray dataWhileOpen;
    DialogAnswer answerer([&](ChangeAmountDialog* dlg) {
        seenPrompt = dlg->labA->text();
        seenAmount = dlg->txtChange->text();
        scratchWhileOpen = QFile::exists(QString::fromStdString(session.tempFile));
        dataWhileOpen = session.bytes();
        if (!typed.isNull()) {
            dlg->txtChange->selectAll();
            QTest::keyClicks(dlg->txtChange, typed);
        }
        if (answer == "NoChange")
            QTest::mouseClick(dlg->cmdNoChange, Qt::LeftButton);
        else if (answer == "Change")
            QTest::mouseClick(dlg->cmdChange, Qt::LeftButton);
        else if (answer == "close")
            dlg->close();
        else if (answer == "Add 10%") {
            QTest::mouseClick(dlg->cmdIncrease[1], Qt::LeftButton);
            QTest::mouseClick(dlg->cmdChange, Qt::LeftButton);
        }
    });
    QTest::mouseClick(w.cmdPay, Qt::LeftButton);

    QCOMPARE(answerer.shown(), 1);
    QVERIFY(seenPrompt.endsWith(prompt));
    QCOMPARE(seenAmount, shown);
    // Half way through: the scratch file is being written, the data file still untouched.
    QVERIFY(scratchWhileOpen);
    QCOMPARE(dataWhileOpen, first + line + "\r\n" + last);

    QCOMPARE(session.bytes(), first + written + "\r\n" + last + "\r\n");
    QVERIFY(!QFile::exists(QString::fromStdString(session.tempFile)));
    QVERIFY(platform::MessageTestHook::takeShown().isEmpty());
    QVERIFY(w.lstDue->selectedItems().isEmpty());
    QVERIFY(!w.cmdPay->isEnabled());
    QVERIFY(!w.cmdStep->isEnabled());
    QVERIFY(!w.cmdNoPay->isEnabled());
    QCOMPARE(int(w.monthOffset()), 0);
}

void TestPayActions::payFromAMonthAheadCountsFromToday()
{
    QVERIFY(session.start("Water|Sub|2026-09-01|90.00|3\r\nTax|Sub|2026-12-01|1,200.00|12\r\n"));
    MainWindow w(teststate::State());
    w.show();
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    QCOMPARE(Rows(w.lstDue), QStringList{"2026-09-01    90.00  Sub  Water"});
    ClickRow(w.lstDue, 0);
    QVERIFY(!w.cmdStep->isEnabled());
    DialogAnswer answerer(
        [](ChangeAmountDialog* dlg) { QTest::mouseClick(dlg->cmdNoChange, Qt::LeftButton); });
    QTest::mouseClick(w.cmdPay, Qt::LeftButton);
    QCOMPARE(answerer.shown(), 1);
    QCOMPARE(session.bytes(),
             QByteArray("Water|Sub|2026-09-15|90.00|3\r\nTax|Sub|2026-12-01|1,200.00|12\r\n"));
    // The displayed month stays; the paid payment is now due in 2026-09 again, by the new
    // date's own month.
    QCOMPARE(int(w.monthOffset()), 3);
    QCOMPARE(w.labE->text(), QStringLiteral("Payments due in 2026-09"));
    QCOMPARE(Rows(w.lstDue), QStringList{"2026-09-15    90.00  Sub  Water"});
    QVERIFY(w.lstDue->selectedItems().isEmpty());
}

void TestPayActions::step()
{
    const QByteArray contents = "Cr\xe8me|Sub|2027-01-01|6|12\r\n"
                                "Paper|Sub|2026-06-01|50.00|1|extra\r\n"
                                "Tax|Sub|2026-12-01|1,200.00|12\r\n";
    QVERIFY(session.start(contents));
    MainWindow w(teststate::State());
    w.show();
    QCOMPARE(Rows(w.lstDue), QStringList{"2026-06-01    50.00  Sub  Paper"});
    ClickRow(w.lstDue, 0);
    DialogAnswer none([](ChangeAmountDialog*) { QFAIL("Step shows no dialog"); });
    QTest::mouseClick(w.cmdStep, Qt::LeftButton);
    QCOMPARE(session.bytes(), QByteArray("Cr\xe8me|Sub|2027-01-01|6|12\r\n"
                                         "Paper|Sub|2026-07-01|50.00|1|extra\r\n"
                                         "Tax|Sub|2026-12-01|1,200.00|12\r\n"));
    QCOMPARE(Rows(w.lstDue), QStringList{});
    QVERIFY(!w.cmdPay->isEnabled());
    QVERIFY(!w.cmdStep->isEnabled());
    QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    QCOMPARE(Rows(w.lstDue), QStringList{"2026-07-01    50.00  Sub  Paper"});
}

void TestPayActions::cancelLeavesTheFileAlone()
{
    const QByteArray contents = "Paper|Sub|2026-06-01|50.00|1\r\n";
    QVERIFY(session.start(contents));
    MainWindow w(teststate::State());
    w.show();
    ClickRow(w.lstDue, 0);
    QTest::mouseClick(w.cmdNoPay, Qt::LeftButton);
    QVERIFY(w.lstDue->selectedItems().isEmpty());
    QVERIFY(!w.cmdPay->isEnabled());
    QVERIFY(!w.cmdStep->isEnabled());
    QVERIFY(!w.cmdNoPay->isEnabled());
    QCOMPARE(w.lstDue->count(), 1);
    QCOMPARE(session.bytes(), contents);
    QVERIFY(!QFile::exists(QString::fromStdString(session.tempFile)));
}

// The window lists what the file held at its last refresh; if the line has changed since
// (edited by hand while Kestrow runs), Pay and Step must not make things worse.
void TestPayActions::lineChangedBehindTheWindow_data()
{
    QTest::addColumn<bool>("pay");
    QTest::addColumn<QByteArray>("changed");
    QTest::newRow("Step, four fields") << false << QByteArray("Paper|Sub|2026-06-01|50.00\r\n");
    QTest::newRow("Step, no month part") << false << QByteArray("Paper|Sub|2026|50.00|1\r\n");
    QTest::newRow("Pay, four fields") << true << QByteArray("Paper|Sub|2026-06-01|50.00\r\n");
    QTest::newRow("Pay, amount no number") << true << QByteArray("Paper|Sub|2026-06-01|x|1\r\n");
    QTest::newRow("Step, record gone") << false << QByteArray();
    QTest::newRow("Pay, record gone") << true << QByteArray();
}

void TestPayActions::lineChangedBehindTheWindow()
{
    QFETCH(bool, pay);
    QFETCH(QByteArray, changed);
    const QByteArray first = "Tax|Sub|2026-12-01|1,200.00|12\r\n";
    QVERIFY(session.start(first + "Paper|Sub|2026-06-01|50.00|1\r\n"));
    MainWindow w(teststate::State());
    w.show();
    ClickRow(w.lstDue, 0);
    QCOMPARE(RecordNumbers(w.lstDue), QList<int>{2});
    // Rewritten in place: the read handle sees the new bytes.
    QVERIFY(WriteBytes(session.dataFile, first + changed));

    DialogAnswer none([](ChangeAmountDialog*) { QFAIL("no dialog for a line that is not paid"); });
    QTest::mouseClick(pay ? w.cmdPay : w.cmdStep, Qt::LeftButton);
    QCOMPARE(none.shown(), 0);
    QCOMPARE(session.bytes(), first + changed);
    QCOMPARE(w.lstDue->count(), 0);
}

// The scratch file disappears while the dialog is open, so the new file cannot be put in
// place: the user hears of it and the data file stays as it was.
void TestPayActions::failedRewriteKeepsTheFile()
{
    const QByteArray contents =
        "Car|Sub|2026-06-01|1234.5|12\r\nTax|Sub|2026-12-01|1,200.00|12\r\n";
    QVERIFY(session.start(contents));
    MainWindow w(teststate::State());
    w.show();
    ClickRow(w.lstDue, 0);
    DialogAnswer answerer([this](ChangeAmountDialog* dlg) {
        QVERIFY(QFile::remove(QString::fromStdString(session.tempFile)));
        dlg->txtChange->setText(QStringLiteral("999"));
        QTest::mouseClick(dlg->cmdChange, Qt::LeftButton);
    });
    QTest::mouseClick(w.cmdPay, Qt::LeftButton);
    QCOMPARE(answerer.shown(), 1);
    QCOMPARE(session.bytes(), contents);
    const QStringList shown = platform::MessageTestHook::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.front().contains(QString::fromStdString(session.dataFile)));
    // Still usable: the same payment can be paid again.
    QCOMPARE(Rows(w.lstDue), QStringList{"2026-06-01 1,234.50  Sub  Car"});
    ClickRow(w.lstDue, 0);
    DialogAnswer again(
        [](ChangeAmountDialog* dlg) { QTest::mouseClick(dlg->cmdNoChange, Qt::LeftButton); });
    QTest::mouseClick(w.cmdPay, Qt::LeftButton);
    QCOMPARE(session.bytes(),
             QByteArray("Car|Sub|2027-06-15|1234.5|12\r\nTax|Sub|2026-12-01|1,200.00|12\r\n"));
}

void TestPayActions::scratchFileThatCannotBeMade_data()
{
    QTest::addColumn<bool>("pay");
    QTest::newRow("Pay") << true;
    QTest::newRow("Step") << false;
}

// A folder in the scratch file's place: the rewrite cannot even start, so Pay asks nothing.
void TestPayActions::scratchFileThatCannotBeMade()
{
    QFETCH(bool, pay);
    const QByteArray contents = "Paper|Sub|2026-06-01|50.00|1\r\n";
    QVERIFY(session.start(contents));
    MainWindow w(teststate::State());
    w.show();
    QVERIFY(QDir().mkdir(QString::fromStdString(session.tempFile)));
    ClickRow(w.lstDue, 0);
    DialogAnswer none(
        [](ChangeAmountDialog*) { QFAIL("nothing to ask when nothing can be saved"); });
    QTest::mouseClick(pay ? w.cmdPay : w.cmdStep, Qt::LeftButton);
    QCOMPARE(none.shown(), 0);
    QCOMPARE(platform::MessageTestHook::takeShown().size(), 1);
    QCOMPARE(session.bytes(), contents);
    QCOMPARE(Rows(w.lstDue), QStringList{"2026-06-01    50.00  Sub  Paper"});
}

QTEST_MAIN(TestPayActions)
#include "tst_payactions.moc"
