// Start-up: the first run, an unreadable clock; damaged files through every month (reported
// once, nothing changed); odd files and paths, at start-up and at the first change after it.
#include "app/startup.h"
#include "core/text.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "testutil.h"

#include <QLabel>
#include <QScopeGuard>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using tu::Find;

namespace {

// A payment due every month, so every month lists one.
const QByteArray kRent = "Rent|Sub|2026-06-01|800.00|1", kCar = "Car|Ins|2026-12-10|1234.5|12";
QByteArray Around(const QByteArray& line)
{
    return kRent + "\r\n" + line + "\r\n" + kCar + "\r\n";
}

const QByteArray kRecords = "Gym|Mem|2026-06-01|30.00|1\r\nRent|Sub|2026-06-03|800.00|1\r\n";
const QByteArray kGymStepped = QByteArray(kRecords).replace("2026-06-01", "2026-07-01");
const QString kStepGym = "row lstDue 0; click cmdStep; check shown=";

// Plain: the odd part lies in the row's contents or date alone.
enum Odd { Plain, Pipe, LinkToNothing, LinkElsewhere, FolderNotUtf8, FolderNotWritable };
enum { ReadError = FolderNotWritable + 1, StartReadError, PartialScratch, OtherGroup };

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;
    std::unique_ptr<MainWindow> main;
    tu::FaultyDisk faults;
    int introductions = 0;
    // As the program wires them. Start-up shows the introduction again while the file stays
    // empty, so a case whose introduction adds nothing ends the program after a few showings.
    StartupWindows windows(std::function<void()> introduction = {})
    {
        if (!introduction)
            introduction = [this] { IntroDialog(*f->app).exec(); };
        const auto bounded = [this, introduction] {
            if (++introductions > 5)
                platform::EndProgram();
            else
                introduction();
        };
        return {bounded, [this] {
                    main = std::make_unique<MainWindow>(*f->app);
                    main->show();
                }};
    }
private slots:
    void init()
    {
        f = std::make_unique<tu::Fixture>();
        introductions = 0;
    }
    void cleanup()
    {
        main.reset();
        f.reset();
        faults = tu::FaultyDisk();
        QVERIFY2(introductions <= 5, "the introduction came back again and again");
    }

    // No data file: the introduction comes back until a payment is added; Exit on the first
    // run takes the empty file away without a question.
    void firstRun()
    {
        bool started = false;
        QStringList failed = tu::Run(
            *f,
            "check file=; click cmdContinue; check front=frmAdd; click cmdCancel; key Return;"
            "enter _Car_insurance_|Sub|2026-6-1|1234.5|240; key Esc; check front=frmMain;"
            "check lstDue=1 2026-06-01 1,234.50  Sub  Car insurance; check horizon=240;"
            "check file=Car insurance|Sub|2026-06-01|1,234.50|240/; check shown=",
            [&] { started = Main(*f->app, windows()); });
        main.reset();
        QVERIFY(started && f->app->data().removeFile());
        failed += tu::Run(*f, "click cmdQuit; check ending=yes; check file=<missing>; check shown=",
                          [&] { started = Main(*f->app, windows()); });
        QVERIFY2(failed.isEmpty() && !started && !main, qPrintable(failed.join('\n')));
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("report"); // how the one message starts
        const auto row = [](const char* name, const QByteArray& contents, const char* report = "") {
            QTest::newRow(name) << contents << QString(report);
        };
        row("CR only", "\r\r\r", "Lines 1, 2, 3 of");
        row("NUL bytes", Around(QByteArray("Ga\0s|S\0|2026-06-05|5|1\r\n\0\0", 26)), "Line 3 of");
        row("invalid UTF-8", Around("Caf\xc3|S\xff|2026-06-07|5|1\r\n\xfe\xff\xc0\xaf"),
            "Line 3 of");
        row("more than twenty unusable lines", QByteArray("x\n").repeated(23) + kRent,
            "Lines 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, and 3 "
            "more of");
        for (const char* odd : {"-0|1", "1,2,3|1", "5|240", "5|300", "5|1|card 7|x"})
            row(odd, Around(QByteArray("Odd|S|2026-06-04|") + odd));
        // Month 0 counts as the month before January: moved on to today it is 2026-06-00.
        for (const char* date : {"0000-00-00", "9999-12-31"})
            row(date, Around(QByteArray("Odd|S|") + date + "|5|1"));
        row("everything at once",
            QByteArray("\r\n|||||\r\nOdd|S|2026-06-01|nan|0\n") + '\0' + "\r" + kRent + "\n" +
                QByteArray(70000, '|') + "\r" + kCar,
            "Lines 1, 2, 3, 4, 6 of");
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, report);
        QVERIFY(f->write(contents));
        QVERIFY(Main(*f->app, windows([] { QFAIL("the introduction"); })));
        const QString shown = f->shown().join(' ');
        QVERIFY2(report.isEmpty() ? shown.isEmpty() : shown.startsWith(report), qPrintable(shown));

        // Every month to the horizon, by years where it is long.
        MainWindow* w = main.get();
        const int horizon = f->app->horizonMonths();
        for (int offset = 0, step = 1; offset <= horizon; offset += step) {
            QCOMPARE(Find<QLabel>(w, "labE")->text(),
                     QDate(2026, 6, 1).addMonths(offset).toString("'Payments due in 'yyyy-MM"));
            QCOMPARE(Find(w, "cmdNextYr")->isEnabled(), offset + 12 <= horizon);
            step = offset + 12 <= horizon && horizon > 240 ? 12 : 1;
            QTest::mouseClick(Find(w, step == 12 ? "cmdNextYr" : "cmdNext"), Qt::LeftButton);
        }
        QVERIFY(!Find(w, "cmdNext")->isEnabled() && Find(w, "cmdPrevYr")->isEnabled());
        QTest::mouseClick(Find(w, "cmdZero"), Qt::LeftButton);
        QVERIFY(!Find(w, "cmdPrev")->isEnabled() && f->bytes() == contents);
        QVERIFY(!f->scratch() && f->shown().isEmpty());
    }

    void oddFiles_data()
    {
        QTest::addColumn<int>("odd");
        QTest::addColumn<QString>("said");        // at start-up; DATA, TEMP, TARGET the paths
        QTest::addColumn<QString>("script");      // the first change after start-up
        QTest::addColumn<QByteArray>("contents"); // of the data file, none when empty
        QTest::addColumn<QString>("today");       // as the system clock gives it
        const auto row = [](const char* name, int odd, const char* said, const QString& script,
                            const QByteArray& contents = kRecords,
                            const char* today = "06-15-2026") {
            QTest::newRow(name) << odd << QString(said) << script << contents << QString(today);
        };
        row("a named pipe in the data file's place", Pipe,
            "Kestrow cannot use DATA as its data file: it is a named pipe, not a plain file. "
            "Move it away or rename it, then start Kestrow again.",
            "", "");
        row("a link that leads nowhere", LinkToNothing,
            "The data file DATA is a symbolic link to TARGET, which does not exist. Kestrow does "
            "not create a file there: restore the link's target or remove the link, then start "
            "Kestrow again.",
            "", "");
        row("a link to a file in another folder", LinkElsewhere, "", kStepGym);
        row("a folder name that is not UTF-8", FolderNotUtf8, "", kStepGym);
        row("a folder where nothing can be created", FolderNotWritable,
            "Kestrow cannot save changes to the data file DATA: it cannot create its scratch "
            "file TEMP beside it (Read-only file system). You can look at your payments, but "
            "Pay, Step, Delete, Edit and new entries will fail. Kestrow leaves the file where "
            "it is; to make changes, make its folder writable or move the file to a folder you "
            "can write, then start Kestrow again.",
            "");
        row("a clock that cannot be read", Plain,
            "Kestrow cannot read today's date from the system clock.", "", kRecords, "2026-12-05");
        row("a read error as the entries open", ReadError, "",
            "click cmdEdit; check shown~Input/output error; click cmdDone");
        // Told at once; the first read that works sets the horizon from the file.
        row("a read error at start-up", StartReadError,
            "Kestrow could not read the data file DATA: Input/output error.",
            "check shown=; check horizon=240", kRecords + "Roof|SG|2030-06-01|9,000.00|240\r\n");
        row("a scratch copy of part of the file", PartialScratch,
            "Kestrow found the data file DATA missing and restored it from the scratch file TEMP "
            "of an interrupted change. That copy may be incomplete: it holds 2 records (its last "
            "line was cut off and has been left out), and any records after them are missing. "
            "Check your payments under Edit Entries.",
            kStepGym, "");
        row("a file of another group", OtherGroup, "", kStepGym);
        // The lists show a sensible part of the name; the edit form keeps all of it.
        row("a name of two megabytes", Plain, "",
            "click cmdEdit; row lstDisplay 1; click cmdEdit; type txtIn(0) Short;"
            "click cmdAccept; click cmdDone",
            kRecords + QByteArray(2'000'000, 'N') + "|Sub|2026-06-02|5.00|1\r\n");
        row("Pay beyond the year 9999", Plain, "",
            "row lstDue 0; click cmdPay; check front=frmMain; check shown~10000-06-15,",
            "Far|Sub|9999-06-01|10.00|12\r\n", "06-15-9999");
    }
    void oddFiles()
    {
        QFETCH(int, odd);
        QFETCH(QString, said);
        QFETCH(QString, script);
        QFETCH(QByteArray, contents);
        QFETCH(QString, today);
        std::string folder = f->dir.path().toStdString() + "/program";
        if (odd == FolderNotUtf8)
            folder += " \xff\xfe";
        QCOMPARE(::mkdir(folder.c_str(), 0755), 0);
        // QTemporaryDir cannot remove a name that is not UTF-8.
        const auto removeFolder = qScopeGuard([&folder] { std::filesystem::remove_all(folder); });
        const std::string data = folder + "/Kestrow.txt";
        const std::string temp = folder + "/xyzzy.tmp";
        const std::string target = f->dir.path().toStdString() + "/target.txt";
        said.replace("DATA", QString::fromStdString(data));
        said.replace("TEMP", QString::fromStdString(temp));
        said.replace("TARGET", QString::fromStdString(target));
        platform::SetProgramFolderForTesting(folder);
        platform::SetSystemDateForTesting(today);
        f->app->useFileOps(faults);
        switch (odd) {
        case Pipe:
            QCOMPARE(::mkfifo(data.c_str(), 0644), 0);
            break;
        case LinkToNothing:
        case LinkElsewhere: // the contents are written through it below
            QCOMPARE(::symlink(target.c_str(), data.c_str()), 0);
            break;
        case FolderNotWritable:
            faults.openError = EROFS; // creating the scratch file
            faults.opening = "/xyzzy.tmp";
            faults.creatingOnly = true;
            break;
        case StartReadError:
            faults.readError = EIO;
            faults.failingRead = 2; // opening the file reads it first
            break;
        case PartialScratch:
            QVERIFY(std::ofstream(temp) << kRecords.constData() << "Car|Su");
            break;
        case OtherGroup:
            if (::geteuid() != 0)
                QSKIP("only root can give the file to another owner and group");
            break;
        }
        if (!contents.isEmpty())
            QVERIFY(std::ofstream(data) << contents.constData()); // may not be UTF-8
        if (odd == OtherGroup)
            QCOMPARE(::chown(data.c_str(), 65534, 100), 0); // nobody:users

        // Start-up must neither wait for ever on a pipe nor show the introduction here.
        bool started = false;
        QStringList failed = tu::Run(
            *f, "", [&] { started = Main(*f->app, windows([] { QFAIL("the introduction"); })); });
        QCOMPARE(started, !script.isEmpty() || odd == FolderNotWritable);
        QCOMPARE(f->shown(), said.isEmpty() ? QStringList() : QStringList{said});
        faults.readError = odd == ReadError ? EIO : 0;
        if (!script.isEmpty())
            failed += tu::Run(*f, script);
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));
        if (script.isEmpty()) { // nothing to change, or no window to change it in
            QVERIFY(!std::filesystem::exists(target));
            return;
        }
        std::ifstream written(odd == LinkElsewhere ? target : data);
        const QByteArray after = script == kStepGym ? kGymStepped : contents;
        QCOMPARE(QByteArray::fromStdString({std::istreambuf_iterator<char>(written), {}}), after);
        QVERIFY(!std::filesystem::exists(temp));
        if (odd == LinkElsewhere)
            QCOMPARE(std::filesystem::read_symlink(data).string(), target);
        for (const QString& row : tu::Rows(tu::Find<QListWidget>(main.get(), "lstDue")))
            QVERIFY(std::size_t(row.size()) < kestrow::kLongestShown + 50); // a 2 MB name too
        struct stat st = {};
        QVERIFY(odd != OtherGroup || (::stat(data.c_str(), &st) == 0 && st.st_gid == 100));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
