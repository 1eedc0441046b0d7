// Odd files and paths met at start-up and by the first change after it: a pipe or a link
// where the data file should be, a folder name that is not UTF-8, a folder where nothing
// can be saved, a full disk, a partial scratch copy, a file of another group, a field of
// megabytes and dates at the end of the year 9999. Then the two ways out of the program's
// folder: kestrow-report finding its data file, and `make clean`.
#include "app/startup.h"
#include "casebound.h"
#include "core/notices.h"
#include "core/text.h"
#include "datastore_testutil.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "mainwindow_testutil.h"
#include "modaltest.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mainwindowtest;
using storetest::present;
using storetest::readFile;
using storetest::writeFile;

namespace {

const QByteArray kRecords = "Gym|Mem|2026-06-01|30.00|1\r\nRent|Sub|2026-06-03|800.00|1\r\n";
const QByteArray kGymStepped = "Gym|Mem|2026-07-01|30.00|1\r\nRent|Sub|2026-06-03|800.00|1\r\n";
const QByteArray kLongName = QByteArray(2'000'000, 'N');

enum Odd {
    Pipe,
    LinkToNothing,
    LinkElsewhere,
    FolderNotUtf8,
    FolderNotWritable,
    FullDisk,
    PartialScratch,
    OtherGroup,
    LongName,
    PayBeyond9999,
    StepBeyond9999,
};

// Creating the scratch file, or every write, fails with the given errno.
class Faults : public kestrow::FileOps
{
public:
    int createError = 0;
    int writeError = 0;
    int open(const char* path, int flags, mode_t mode) override
    {
        if (createError != 0 && (flags & O_CREAT) && std::strstr(path, "xyzzy.tmp")) {
            errno = createError;
            return -1;
        }
        return FileOps::open(path, flags, mode);
    }
    ssize_t write(int fd, const void* buf, size_t count) override
    {
        if (writeError != 0) {
            errno = writeError;
            return -1;
        }
        return FileOps::write(fd, buf, count);
    }
};

// Removes a folder Qt cannot: its name is not UTF-8.
struct RemovedAtEnd
{
    std::string path;
    ~RemovedAtEnd()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

template <class T> T* Child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

void Click(QWidget* window, const char* button)
{
    QTest::mouseClick(Child<QPushButton>(window, button), Qt::LeftButton);
}

QString Text(const std::string& message)
{
    return QString::fromStdString(message);
}

std::string LinkTarget(const std::string& link)
{
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, std::size_t(n));
}

// A group of the user's other than the file's own, to hand the file to; -1 when none.
gid_t OtherGroupOfUser()
{
    if (::geteuid() == 0)
        return 100;
    gid_t groups[64];
    const int n = ::getgroups(64, groups);
    for (int i = 0; i < n; ++i) {
        if (groups[i] != ::getegid())
            return groups[i];
    }
    return gid_t(-1);
}

} // namespace

class TestDataFileOdd : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void startAndChange_data();
    void startAndChange();
    void reportFindsTheFileBesideIt();
    void makeCleanKeepsThePayments();

private:
    Faults faults_;
};

void TestDataFileOdd::cleanup()
{
    modaltest::End();
    faults_ = Faults();
}

void TestDataFileOdd::startAndChange_data()
{
    QTest::addColumn<int>("odd");
    QTest::newRow("a named pipe in the data file's place") << int(Pipe);
    QTest::newRow("a link that leads nowhere") << int(LinkToNothing);
    QTest::newRow("a link to a file in another folder") << int(LinkElsewhere);
    QTest::newRow("a folder name that is not UTF-8") << int(FolderNotUtf8);
    QTest::newRow("a folder where nothing can be created") << int(FolderNotWritable);
    QTest::newRow("a full disk before Pay's dialog") << int(FullDisk);
    QTest::newRow("a scratch copy of part of the file") << int(PartialScratch);
    QTest::newRow("a file of another group") << int(OtherGroup);
    QTest::newRow("a name of two megabytes") << int(LongName);
    QTest::newRow("Pay beyond the year 9999") << int(PayBeyond9999);
    QTest::newRow("Step beyond the year 9999") << int(StepBeyond9999);
}

void TestDataFileOdd::startAndChange()
{
    QFETCH(int, odd);
    // Start-up used to wait for ever on a pipe: a hang must fail, not stall the run.
    const casebound::CaseBound bound(QTest::currentDataTag(), std::chrono::seconds(120));
    QTemporaryDir base;
    std::string folder = base.path().toStdString();
    if (odd == FolderNotUtf8) {
        folder += "/Kestrow \xff\xfe folder";
        QCOMPARE(::mkdir(folder.c_str(), 0755), 0);
    }
    const RemovedAtEnd removed{folder};
    QTemporaryDir elsewhere;
    const std::string data = folder + "/Kestrow.txt";
    const std::string temp = folder + "/xyzzy.tmp";
    const std::string target = elsewhere.path().toStdString() + "/target.txt";
    modaltest::Begin(base.path());
    platform::SetProgramFolderForTesting(folder);
    teststate::State().useFileOps(faults_);

    QByteArray contents = kRecords;
    bool runs = true;
    QStringList said;
    gid_t group = gid_t(-1);
    switch (Odd(odd)) {
    case Pipe:
        QCOMPARE(::mkfifo(data.c_str(), 0644), 0);
        contents.clear();
        runs = false;
        said << Text(kestrow::notices::NotAPlainFile(data, S_IFIFO));
        break;
    case LinkToNothing:
        QCOMPARE(::symlink(target.c_str(), data.c_str()), 0);
        contents.clear();
        runs = false;
        said << Text(kestrow::notices::DanglingLink(data, target));
        break;
    case LinkElsewhere:
        QVERIFY(writeFile(target, contents));
        QCOMPARE(::symlink(target.c_str(), data.c_str()), 0);
        break;
    case FolderNotWritable:
        faults_.createError = EROFS;
        said << Text(kestrow::notices::CannotSaveInFolder(data, temp, std::strerror(EROFS), true));
        break;
    case PartialScratch:
        QVERIFY(writeFile(temp, kRecords + "Car|Su"));
        contents.clear();
        said << Text(kestrow::notices::RestoredFromScratch(data, temp, 2, true));
        break;
    case OtherGroup:
        group = OtherGroupOfUser();
        if (group == gid_t(-1))
            QSKIP("the user belongs to no second group");
        break;
    case LongName:
        contents = "Gym|Mem|2026-06-01|30.00|1\r\n" + kLongName + "|Sub|2026-06-02|5.00|1\r\n";
        break;
    case PayBeyond9999:
        platform::SetSystemDateForTesting(QStringLiteral("06-15-9999"));
        contents = "Far|Sub|9999-06-01|10.00|12\r\n";
        break;
    case StepBeyond9999:
        platform::SetSystemDateForTesting(QStringLiteral("12-15-9999"));
        contents = "Far|Sub|9999-12-01|10.00|1\r\n";
        break;
    default:
        break;
    }
    if (!contents.isEmpty() && odd != LinkElsewhere) // a link's target is written above
        QVERIFY(writeFile(data, contents));
    if (odd == OtherGroup)
        QCOMPARE(::chown(data.c_str(), ::geteuid() == 0 ? 65534 : uid_t(-1), group), 0);

    StartupWindows windows;
    bool introduced = false;
    windows.showIntroduction = [&] {
        introduced = true;
        platform::EndProgram();
    };
    windows.showMain = [] {};
    QCOMPARE(Main(teststate::State(), windows), runs);
    QVERIFY(!introduced);
    QCOMPARE(platform::MessageTestHook::takeShown(), said);
    if (!runs) {
        QVERIFY(!present(target));
        return;
    }

    // The first change after start-up, made through the main window.
    MainWindow main(teststate::State());
    main.show();
    auto* due = Child<QListWidget>(&main, "lstDue");
    switch (Odd(odd)) {
    case FullDisk: {
        faults_.writeError = ENOSPC;
        ClickRow(due, 1); // Rent: Gym's line is written before the dialog would open
        DialogAnswer none([](ChangeAmountDialog*) { QFAIL("no dialog once the copy failed"); });
        Click(&main, "cmdPay");
        QCOMPARE(none.shown(), 0);
        const QStringList shown = platform::MessageTestHook::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.front().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))),
                 qPrintable(shown.front()));
        QCOMPARE(readFile(data), kRecords);
        break;
    }
    case PayBeyond9999:
    case StepBeyond9999: {
        ClickRow(due, 0);
        DialogAnswer none([](ChangeAmountDialog*) { QFAIL("nothing to ask"); });
        Click(&main, odd == PayBeyond9999 ? "cmdPay" : "cmdStep");
        QCOMPARE(none.shown(), 0);
        QCOMPARE(platform::MessageTestHook::takeShown(),
                 QStringList{Text(kestrow::notices::YearBeyond9999(
                     odd == PayBeyond9999 ? "10000-06-15" : "10000-01-01"))});
        QCOMPARE(readFile(data), contents);
        break;
    }
    case LongName: {
        // The lists show a sensible part of the name; the edit form keeps all of it.
        for (const QString& row : Rows(due))
            QVERIFY(std::size_t(row.size()) < kestrow::kLongestShown + 50);
        EntryListDialog entries(teststate::State(), &main);
        auto* list = Child<QListWidget>(&entries, "lstDisplay");
        for (const QString& row : Rows(list))
            QVERIFY(std::size_t(row.size()) < 6 * kestrow::kLongestShown);
        entries.show();
        ClickRow(list, 1);
        ModalAnswer<EditRecordDialog> accept([](EditRecordDialog* form) {
            QVERIFY(Child<QLineEdit>(form, "txtIn(0)")->isReadOnly());
            Click(form, "cmdAccept");
        });
        Click(&entries, "cmdEdit");
        QCOMPARE(accept.shown(), 1);
        QCOMPARE(readFile(data), contents);
        break;
    }
    case FolderNotWritable:
        break; // said once at start-up; what a change then says is the store's own test
    default: {
        // Step on Gym.
        ClickRow(due, 0);
        Click(&main, "cmdStep");
        QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
        QCOMPARE(readFile(data), kGymStepped);
        QVERIFY(!present(temp));
        if (odd == LinkElsewhere) {
            QCOMPARE(LinkTarget(data), target);
            QVERIFY(!present(elsewhere.path().toStdString() + "/xyzzy.tmp"));
        }
        if (odd == OtherGroup) {
            struct stat st = {};
            QCOMPARE(::stat(data.c_str(), &st), 0);
            QCOMPARE(st.st_gid, group);
            if (::geteuid() == 0)
                QCOMPARE(st.st_uid, uid_t(65534));
        }
        break;
    }
    }
}

// The report finds the data file beside the program from the program's own path, kept as
// bytes: decoded, a folder name that is not UTF-8 would lead it elsewhere.
void TestDataFileOdd::reportFindsTheFileBesideIt()
{
    QTemporaryDir base;
    const std::string folder = base.path().toStdString() + "/Kestrow \xff folder";
    QCOMPARE(::mkdir(folder.c_str(), 0755), 0);
    const RemovedAtEnd removed{folder};
    const std::filesystem::path program = folder + "/kestrow-report";
    std::filesystem::copy_file(KESTROW_REPORT, program);
    QVERIFY(writeFile(folder + "/Kestrow.txt", kRecords));
    // Started through a link of a plain name, which the system resolves to the program.
    const QString link = base.filePath(QStringLiteral("report"));
    QCOMPARE(::symlink(program.c_str(), QFile::encodeName(link).constData()), 0);
    QProcess report;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), base.path()); // a mistaken per-user folder stays here
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    report.setProcessEnvironment(env);
    report.start(link, {QStringLiteral("--today"), QStringLiteral("2026-06-15")});
    QVERIFY(report.waitForFinished(60000));
    QCOMPARE(report.exitCode(), 0);
    QVERIFY(report.readAllStandardOutput().contains("Rent"));
}

// `make run` keeps the payments in the build folder; `make clean` must not take them along.
void TestDataFileOdd::makeCleanKeepsThePayments()
{
    QTemporaryDir base;
    const QString build = base.filePath(QStringLiteral("build"));
    const QString sanitized = base.filePath(QStringLiteral("build-asan"));
    QVERIFY(QDir().mkpath(build + QStringLiteral("/tests")));
    QVERIFY(QDir().mkpath(sanitized));
    QVERIFY(writeFile((build + QStringLiteral("/Kestrow.txt")).toStdString(), kRecords));
    QVERIFY(writeFile((build + QStringLiteral("/CMakeCache.txt")).toStdString(), "x"));
    QVERIFY(writeFile((sanitized + QStringLiteral("/Kestrow.txt")).toStdString(), ""));
    QProcess make;
    make.start(QStringLiteral("make"),
               {QStringLiteral("-s"), QStringLiteral("-C"), QStringLiteral(KESTROW_SOURCE_DIR),
                QStringLiteral("clean"), QStringLiteral("BUILD=") + build,
                QStringLiteral("BUILD_SAN=") + sanitized,
                QStringLiteral("BUILD_FUZZ=") + base.filePath(QStringLiteral("none"))});
    QVERIFY(make.waitForFinished(60000));
    QCOMPARE(make.exitCode(), 0);
    QVERIFY(make.readAllStandardOutput().contains(QFile::encodeName(build + "/Kestrow.txt")));
    QCOMPARE(QDir(build).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{"Kestrow.txt"});
    QCOMPARE(readFile((build + QStringLiteral("/Kestrow.txt")).toStdString()), kRecords);
    QVERIFY(!QFileInfo::exists(sanitized)); // an empty data file holds nothing to keep
}

QTEST_MAIN(TestDataFileOdd)
#include "tst_datafile_odd.moc"
