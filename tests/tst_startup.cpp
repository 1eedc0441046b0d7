// Start-up: the first run through the real windows, Exit on the first run, the horizon,
// today from the system clock, the one report of lines Kestrow cannot use, and a second
// Kestrow on the same folder.
#include "app/startup.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "testutil.h"

using tu::Click;

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup()
    {
        main_.reset();
        f.reset();
    }
    void firstRun();
    void exitOnFirstRun();
    void existingFile_data();
    void existingFile();
    void refused();

private:
    // The windows as the program wires them.
    StartupWindows windows()
    {
        return {[this] { IntroDialog(f->state()).exec(); },
                [this] {
                    main_ = std::make_unique<MainWindow>(f->state());
                    main_->show();
                }};
    }
    std::unique_ptr<tu::Fixture> f;
    std::unique_ptr<MainWindow> main_;
};

// No data file: an empty one is made, and the introduction comes back until a payment
// has been added; then the main window shows it.
void TestStartup::firstRun()
{
    bool emptyFileAtFirst = false;
    tu::Answer answer({[&](QWidget* intro) {
                           emptyFileAtFirst = f->bytes().isEmpty();
                           Click(intro, "cmdContinue");
                       },
                       [](QWidget* add) { Click(add, "cmdCancel"); },
                       [](QWidget* intro) { QTest::keyClick(intro->focusWidget(), Qt::Key_Return); },
                       [](QWidget* add) {
                           const QStringList texts{" Car insurance ", "Sub", "2026-6-1", "1234.5", "240"};
                           for (int i = 0; i < 5; ++i) {
                               auto* box = tu::Find<QLineEdit>(add, QStringLiteral("txtIn(%1)").arg(i));
                               tu::Type(box, texts[i]);
                               QTest::keyClick(box, i < 4 ? Qt::Key_Tab : Qt::Key_Return);
                           }
                           QTest::keyClick(add->focusWidget(), Qt::Key_Escape);
                       }});
    QVERIFY(Main(f->state(), windows()));
    QCOMPARE(answer.seen, (QStringList{"frmIntro", "frmAdd", "frmIntro", "frmAdd"}));
    QCOMPARE(answer.unanswered, QStringList());
    QVERIFY(emptyFileAtFirst);
    QCOMPARE(f->bytes(), QByteArray("Car insurance|Sub|2026-06-01|1,234.50|240\r\n"));
    QCOMPARE(int(f->state().horizonMonths()), 240);
    QWidget* shown = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        shown = window->objectName() == "frmMain" && window->isVisible() ? window : shown;
    QVERIFY(shown != nullptr);
    QCOMPARE(tu::Rows(tu::Find<QListWidget>(shown, "lstDue")),
             QStringList{"2026-06-01 1,234.50  Sub  Car insurance"});
    QCOMPARE(f->shown(), QStringList());
}

void TestStartup::exitOnFirstRun()
{
    tu::Answer answer({[](QWidget* intro) { Click(intro, "cmdQuit"); }});
    QVERIFY(!Main(f->state(), windows()));
    QVERIFY(platform::ProgramEnding());
    QVERIFY(main_ == nullptr);
    QCOMPARE(f->bytes(), QByteArray("<missing>")); // the empty file goes without a question
    QCOMPARE(f->shown(), QStringList());
}

void TestStartup::existingFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("horizon");
    QTest::addColumn<QString>("report"); // how the one message starts; empty: none
    const QByteArray a = "A|S|2026-01-01|5|36\r\n";
    QTest::newRow("largest 36") << a + "B|S|2026-01-01|5|12\r\n" << 120 << "";
    QTest::newRow("largest 240") << a + "B|S|2026-01-01|5|240\r\n" << 240 << "";
    QTest::newRow("last line without a line end") << a + "B|S|2026-01-01|5|121" << 121 << "";
    QTest::newRow("an unusable line does not count")
        << a + "B|S|2026-01-01|x|999\r\n" << 120 << "Line 2 of ";
    QTest::newRow("two lines") << a + "broken\r\nB|S|2026-01-01|5|1\r\nC|S|2026-13|5|1\r\n" << 120
                               << "Lines 2, 4 of ";
    // Records in form, but no month can show them: counted with the broken lines, in order.
    QTest::newRow("years of three and five digits")
        << "A|S|999-01-01|5|1\r\nbroken\r\n" + a + "C|S|20261-01-01|5|1\r\n" << 120
        << "Lines 1, 2, 4 of ";
    QStringList twenty;
    for (int i = 1; i <= 20; ++i)
        twenty << QString::number(i);
    QTest::newRow("more than twenty") << QByteArray("x\r\n").repeated(23) + a << 120
                                      << "Lines " + twenty.join(", ") + ", and 3 more of ";
}

// The file is kept as it is; lines Kestrow cannot use are reported once, here.
void TestStartup::existingFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, horizon);
    QFETCH(QString, report);
    QVERIFY(f->write(contents));
    platform::SetSystemDateForTesting("12-05-2026");
    QStringList shown;
    QVERIFY(Main(f->state(), {[] { QFAIL("no introduction for a file with payments"); },
                              [&shown] { shown = tu::Fixture::shown(); }}));
    QCOMPARE(int(f->state().horizonMonths()), horizon);
    QCOMPARE(f->state().todayDate(), std::string("2026-12-05"));
    QCOMPARE(int(f->state().todayMonth()), 12);
    QCOMPARE(shown.size(), report.isEmpty() ? 0 : 1);
    QVERIFY2(report.isEmpty() || shown.value(0).startsWith(report), qPrintable(shown.value(0)));
    QCOMPARE(f->bytes(), contents);
}

// A second Kestrow on the folder, or a clock that cannot be read, ends start-up with a
// message and shows no window.
void TestStartup::refused()
{
    QVERIFY(f->write("A|S|2026-01-01|5|1\r\n"));
    const StartupWindows none{[] { QFAIL("no introduction"); }, [] { QFAIL("no main window"); }};
    {
        kestrow::DataStore first(f->data, f->temp);
        QVERIFY(first.open());
        QVERIFY(!Main(f->state(), none));
        const QStringList shown = f->shown();
        QVERIFY(shown.size() == 1 && shown[0].contains("already running"));
    }
    platform::SetSystemDateForTesting("2026-12-05");
    AppState state;
    QVERIFY(!Main(state, none));
    QCOMPARE(f->shown(), QStringList{"Kestrow cannot read today's date from the system clock."});
    QVERIFY(!platform::ProgramEnding());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
