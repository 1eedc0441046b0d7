// Start-up: the data file made and held open, the introduction screen while it is empty
// (through the real first-run windows), the horizon, today's date, the report of lines
// Kestrow cannot use, and a second Kestrow on the same folder.
#include "app/startup.h"
#include "core/datastore.h"
#include "forms/addrecorddialog.h"
#include "forms/introdialog.h"
#include "modaltest.h"
#include "teststate.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <vector>

using modaltest::Click;

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void noDataFile();
    void introductionUntilARecordExists();
    void firstRunThroughTheWindows();
    void exitOnFirstRun();
    void horizon_data();
    void horizon();
    void todayFromTheSystemDate();
    void unusableLinesReportedOnce_data();
    void unusableLinesReportedOnce();
    void secondKestrowRefused();

private:
    QStringList shown() { return platform::MessageTestHook::takeShown(); }
    // Windows that only count, in the order they were shown.
    StartupWindows countingWindows(std::function<void()> introduction = {});

    std::unique_ptr<modaltest::Folder> folder_;
    QStringList order_;
};

void TestStartup::init()
{
    folder_ = std::make_unique<modaltest::Folder>();
    modaltest::Begin(*folder_);
    order_.clear();
}

void TestStartup::cleanup()
{
    modaltest::End();
    folder_.reset();
}

StartupWindows TestStartup::countingWindows(std::function<void()> introduction)
{
    StartupWindows windows;
    windows.showIntroduction = [this, introduction] {
        order_ << QStringLiteral("intro");
        if (introduction)
            introduction();
    };
    windows.showMain = [this] { order_ << QStringLiteral("main"); };
    return windows;
}

void TestStartup::noDataFile()
{
    QVERIFY(!folder_->exists());
    bool emptyFileAtIntro = false;
    const bool running =
        Main(teststate::State(), countingWindows([&] {
                 emptyFileAtIntro = folder_->exists() && folder_->contents().isEmpty();
                 QVERIFY(teststate::State().data().append("Rent|Sub|2026-07-01|800.00|1"));
             }));
    QVERIFY(running);
    QVERIFY(emptyFileAtIntro);
    QCOMPARE(order_, (QStringList{"intro", "main"}));
    QCOMPARE(QString::fromStdString(teststate::State().data().dataFile()), folder_->dataPath());
    QVERIFY(teststate::State().hasData());
}

void TestStartup::introductionUntilARecordExists()
{
    // Leaving the add-record form without a record brings the introduction back, as
    // often as it happens.
    QVERIFY(folder_->write(QByteArray()));
    int shownSoFar = 0;
    QVERIFY(Main(teststate::State(), countingWindows([&] {
                     if (++shownSoFar == 3)
                         QVERIFY(teststate::State().data().append("Rent|Sub|2026-07-01|800.00|1"));
                 })));
    QCOMPARE(order_, (QStringList{"intro", "intro", "intro", "main"}));
}

void TestStartup::firstRunThroughTheWindows()
{
    modaltest::Watchdog watchdog;
    int intros = 0;
    int adds = 0;
    bool mainShown = false;

    // Second showing: Enter for "Continue", one payment, Esc for "Finished".
    std::function<void(IntroDialog*)> second = [&](IntroDialog* intro) {
        ++intros;
        modaltest::WhenShown<AddRecordDialog>([&](AddRecordDialog* add) {
            ++adds;
            QTest::keyClicks(add->txtIn[0], " Car insurance ");
            QTest::keyClick(add->txtIn[0], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[1], "Sub");
            QTest::keyClick(add->txtIn[1], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[2], "2026-3-1");
            QTest::keyClick(add->txtIn[2], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[3], "1234.5");
            QTest::keyClick(add->txtIn[3], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[4], "240");
            QTest::keyClick(add->txtIn[4], Qt::Key_Return);
            QTest::keyClick(add->txtIn[0], Qt::Key_Escape);
        });
        QTest::keyClick(intro->focusWidget(), Qt::Key_Return);
    };
    // First showing: "Continue", then "Finished" at once.
    modaltest::WhenShown<IntroDialog>([&](IntroDialog* intro) {
        ++intros;
        modaltest::WhenShown<AddRecordDialog>([&](AddRecordDialog* add) {
            ++adds;
            modaltest::WhenShown<IntroDialog>(second);
            Click(add->cmdCancel);
        });
        Click(intro->cmdContinue);
    });

    StartupWindows windows;
    windows.showIntroduction = [] {
        IntroDialog intro(teststate::State());
        intro.exec();
    };
    windows.showMain = [&] { mainShown = true; };
    QVERIFY(Main(teststate::State(), windows));

    QVERIFY(!watchdog.fired());
    QCOMPARE(intros, 2);
    QCOMPARE(adds, 2);
    QVERIFY(mainShown);
    QCOMPARE(folder_->contents(), QByteArray("Car insurance|Sub|2026-03-01|1,234.50|240\r\n"));
    QCOMPARE(int(teststate::State().horizonMonths()), 240);
    QCOMPARE(shown(), QStringList{});
}

void TestStartup::exitOnFirstRun()
{
    modaltest::Watchdog watchdog;
    modaltest::WhenShown<IntroDialog>([](IntroDialog* intro) { Click(intro->cmdQuit); });
    StartupWindows windows;
    windows.showIntroduction = [] {
        IntroDialog intro(teststate::State());
        intro.exec();
    };
    bool mainShown = false;
    windows.showMain = [&] { mainShown = true; };
    QVERIFY(!Main(teststate::State(), windows));
    QVERIFY(!watchdog.fired());
    QVERIFY(!mainShown);
    QVERIFY(platform::ProgramEnding());
    QVERIFY(!folder_->exists()); // the empty file goes without a question
    QCOMPARE(shown(), QStringList{});
}

void TestStartup::horizon_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("horizon");
    QTest::newRow("largest 36") << QByteArray("A|S|2026-01-01|5|36\r\nB|S|2026-01-01|5|12\r\n")
                                << 120;
    QTest::newRow("largest 240") << QByteArray("A|S|2026-01-01|5|36\r\nB|S|2026-01-01|5|240\r\n")
                                 << 240;
    QTest::newRow("unusable line skipped")
        << QByteArray("A|S|2026-01-01|5|36\r\nB|S|2026-01-01|x|999\r\n") << 120;
    QTest::newRow("last line without line end") << QByteArray("A|S|2026-01-01|5|121") << 121;
}

void TestStartup::horizon()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, horizon);
    QVERIFY(folder_->write(contents));
    QVERIFY(Main(teststate::State(), countingWindows()));
    QCOMPARE(order_, QStringList{"main"});
    QCOMPARE(int(teststate::State().horizonMonths()), horizon);
}

void TestStartup::todayFromTheSystemDate()
{
    QVERIFY(folder_->write("A|S|2026-01-01|5|1\r\n"));
    platform::SetSystemDateForTesting(QStringLiteral("12-05-2026"));
    QVERIFY(Main(teststate::State(), countingWindows()));
    QCOMPARE(teststate::State().todayDate(), std::string("2026-12-05"));
    QCOMPARE(int(teststate::State().todayMonth()), 12);
}

void TestStartup::unusableLinesReportedOnce_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("numbers");
    QTest::newRow("one") << QByteArray("A|S|2026-01-01|5|1\r\nbroken\r\n") << "Line 2 of ";
    QTest::newRow("two") << QByteArray("A|S|2026-01-01|5|1\r\nbroken\r\nB|S|2026-01-01|5|1\r\n"
                                       "C|S|2026-13|5|1\r\n")
                         << "Lines 2, 4 of ";
    // Records in form, but no month can show them: counted with the broken lines, in order.
    QTest::newRow("years of three and five digits")
        << QByteArray("A|S|999-01-01|5|1\r\nbroken\r\nB|S|2026-01-01|5|1\r\n"
                      "C|S|20261-01-01|5|1\r\n")
        << "Lines 1, 2, 4 of ";
}

void TestStartup::unusableLinesReportedOnce()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, numbers);
    QVERIFY(folder_->write(contents));
    QVERIFY(Main(teststate::State(), countingWindows()));
    const QStringList messages = shown();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith(numbers), qPrintable(messages[0]));
    QCOMPARE(order_, QStringList{"main"});
    QCOMPARE(folder_->contents(), contents); // kept as they are
}

void TestStartup::secondKestrowRefused()
{
    QVERIFY(folder_->write("A|S|2026-01-01|5|1\r\n"));
    const std::string dataFile = QFile::encodeName(folder_->dataPath()).toStdString();
    kestrow::DataStore first(dataFile, dataFile + ".tmp");
    QVERIFY(first.open());
    QVERIFY(!Main(teststate::State(), countingWindows()));
    QCOMPARE(order_, QStringList{});
    const QStringList messages = shown();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(QStringLiteral("already running")), qPrintable(messages[0]));
    QVERIFY(!platform::ProgramEnding());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
