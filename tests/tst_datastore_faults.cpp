// Failures while the data file changes: every single system call of an append, a rewrite
// and the start-up recovery is failed in turn, and real failures are provoked (a folder the
// user may not write, a file size limit that cuts a write short). After every reported
// failure the data file must be byte for byte the old one and no scratch file may remain.
#include "core/datastore.h"
#include "datastore_testutil.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrow;
using namespace storetest;

namespace {

// Fails the k-th call through the seam with a chosen errno; the others reach the system.
class FaultOps : public FileOps
{
public:
    void arm(int k, int err)
    {
        failAt_ = k;
        err_ = err;
        calls_ = 0;
        triggered_ = false;
    }
    void disarm() { failAt_ = 0; }
    bool triggered() const { return triggered_; }
    // The call that was failed: its name, "fsync folder" for a folder.
    const std::string& failedCall() const { return failedCall_; }
    int calls() const { return calls_; }
    // Every write takes at most this many bytes (0: no limit), as a nearly full disk may.
    std::size_t writeLimit = 0;

    int open(const char* path, int flags, mode_t mode) override
    {
        return fault("open") ? -1 : FileOps::open(path, flags, mode);
    }
    ssize_t pread(int fd, void* buf, size_t count, off_t offset) override
    {
        return fault("pread") ? -1 : FileOps::pread(fd, buf, count, offset);
    }
    ssize_t write(int fd, const void* buf, size_t count) override
    {
        if (fault("write"))
            return -1;
        if (writeLimit != 0 && count > writeLimit)
            count = writeLimit;
        return FileOps::write(fd, buf, count);
    }
    int fstat(int fd, struct stat* st) override
    {
        return fault("fstat") ? -1 : FileOps::fstat(fd, st);
    }
    int fchmod(int fd, mode_t mode) override
    {
        return fault("fchmod") ? -1 : FileOps::fchmod(fd, mode);
    }
    int fsync(int fd) override
    {
        struct stat st = {};
        const bool folder = FileOps::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
        return fault(folder ? "fsync folder" : "fsync") ? -1 : FileOps::fsync(fd);
    }
    int fdatasync(int fd) override { return fault("fdatasync") ? -1 : FileOps::fdatasync(fd); }
    int ftruncate(int fd, off_t length) override
    {
        return fault("ftruncate") ? -1 : FileOps::ftruncate(fd, length);
    }
    int close(int fd) override
    {
        // A failed close still releases the descriptor, as on Linux.
        if (fault("close")) {
            FileOps::close(fd);
            errno = err_;
            return -1;
        }
        return FileOps::close(fd);
    }
    int rename(const char* from, const char* to) override
    {
        return fault("rename") ? -1 : FileOps::rename(from, to);
    }
    int unlink(const char* path) override { return fault("unlink") ? -1 : FileOps::unlink(path); }
    int lstat(const char* path, struct stat* st) override
    {
        return fault("lstat") ? -1 : FileOps::lstat(path, st);
    }
    int flock(int fd, int operation) override
    {
        return fault("flock") ? -1 : FileOps::flock(fd, operation);
    }

private:
    bool fault(const char* name)
    {
        if (failAt_ == 0 || ++calls_ != failAt_)
            return false;
        triggered_ = true;
        failedCall_ = name;
        errno = err_;
        return true;
    }

    int failAt_ = 0;
    int err_ = 0;
    int calls_ = 0;
    bool triggered_ = false;
    std::string failedCall_;
};

enum class Op { Append, Replace, Delete };

// The old file mixes line ends and lacks its final one, so every path of the writers runs.
const QByteArray kBefore = "Rent|Sub|2026-01-01|900.00|1\r\nGym|Mem|2026-02-01|30.00|1\n"
                           "Car|Sub|2026-03-01|1,234.50|12";

QByteArray expectedAfter(Op op)
{
    switch (op) {
    case Op::Append:
        return kBefore + "\r\nNew|SG|2026-05-01|.50|3\r\n";
    case Op::Replace:
        return "Rent|Sub|2026-01-01|900.00|1\r\nGym|Mem|2027-02-01|35.00|12\r\n"
               "Car|Sub|2026-03-01|1,234.50|12\r\n";
    case Op::Delete:
        return "Gym|Mem|2026-02-01|30.00|1\r\n";
    }
    return {};
}

Status run(DataStore& store, Op op)
{
    switch (op) {
    case Op::Append:
        return store.append("New|SG|2026-05-01|.50|3");
    case Op::Replace:
        return store.rewriteReplacing(2, "Gym|Mem|2027-02-01|35.00|12");
    case Op::Delete:
        return store.rewriteDeleting({3, 1});
    }
    return Status::failure("unknown operation");
}

struct Folder
{
    QTemporaryDir dir;
    std::string data = dir.filePath(QStringLiteral("Kestrow.txt")).toStdString();
    std::string temp = dir.filePath(QStringLiteral("xyzzy.tmp")).toStdString();
};

void addOperationRows(bool withErrno)
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("err");
    const std::pair<const char*, Op> ops[] = {
        {"append", Op::Append}, {"replace", Op::Replace}, {"delete", Op::Delete}};
    const std::pair<const char*, int> errs[] = {
        {"ENOSPC", ENOSPC}, {"EIO", EIO}, {"EACCES", EACCES}};
    for (const auto& [opName, op] : ops) {
        if (!withErrno) {
            QTest::newRow(opName) << int(op) << 0;
            continue;
        }
        for (const auto& [errName, err] : errs)
            QTest::addRow("%s, %s", opName, errName) << int(op) << err;
    }
}

// Runs fn in a child process and returns what it wrote to its pipe; the child's exit code
// goes to status.
QByteArray inChild(const std::function<std::string()>& fn, int& status)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string out = fn();
        [[maybe_unused]] auto n = ::write(fds[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buf, n);
    ::close(fds[0]);
    ::waitpid(pid, &status, 0);
    return out;
}

} // namespace

class TestDataStoreFaults : public QObject
{
    Q_OBJECT
private slots:
    void everyStepFails_data();
    void everyStepFails();
    void shortWritesAreContinued_data();
    void shortWritesAreContinued();
    void recoveryUnderFaults_data();
    void recoveryUnderFaults();
    void readOnlyFolder_data();
    void readOnlyFolder();
    void fileSizeLimit_data();
    void fileSizeLimit();
};

void TestDataStoreFaults::everyStepFails_data()
{
    addOperationRows(true);
}

void TestDataStoreFaults::everyStepFails()
{
    QFETCH(int, op);
    QFETCH(int, err);
    const QByteArray after = expectedAfter(Op(op));
    int failures = 0;
    int k = 1;
    for (;; ++k) {
        QVERIFY2(k < 200, "the operation never completes");
        Folder f;
        QVERIFY(writeFile(f.data, kBefore));
        FaultOps ops;
        DataStore store(f.data, f.temp, ops);
        QVERIFY(store.open());
        ops.arm(k, err);
        const Status st = run(store, Op(op));
        ops.disarm();
        const QByteArray row = "call " + QByteArray::number(k) + " (" +
                               QByteArray::fromStdString(ops.failedCall()) +
                               "): " + bytes(st.message);
        QVERIFY2(!present(f.temp), row.constData());
        if (!ops.triggered()) {
            // Fewer than k calls: the operation ran through untouched.
            QVERIFY2(st, row.constData());
            QCOMPARE(readFile(f.data), after);
            break;
        }
        if (st) {
            // Only a failure the change can do without: closing a handle once the data is
            // on disk, or flushing the folder after the rename (which leaves a warning).
            const std::string& call = ops.failedCall();
            QVERIFY2(call == "close" || call == "fsync folder", row.constData());
            QCOMPARE(st.message.empty(), call == "close");
            QCOMPARE(readFile(f.data), after);
            QCOMPARE(store.length(), after.size());
            continue;
        }
        ++failures;
        QCOMPARE(readFile(f.data), kBefore);
        QVERIFY(!st.message.empty());
        QVERIFY2(st.message.find(f.data) != std::string::npos, row.constData());
        QVERIFY2(st.message.find(std::strerror(err)) != std::string::npos, row.constData());
        // The store still reads the old file and the change can be made once the fault is
        // gone.
        QCOMPARE(store.length(), kBefore.size());
        QCOMPARE(store.readLines(), SplitLines(bytes(kBefore)));
        const Status retry = run(store, Op(op));
        QVERIFY2(retry, retry.message.c_str());
        QCOMPARE(readFile(f.data), after);
    }
    // Every system call of the operation has failed once.
    QVERIFY(k > 5);
    QVERIFY(failures > 3);
}

void TestDataStoreFaults::shortWritesAreContinued_data()
{
    addOperationRows(false);
}

void TestDataStoreFaults::shortWritesAreContinued()
{
    QFETCH(int, op);
    Folder f;
    QVERIFY(writeFile(f.data, kBefore));
    FaultOps ops;
    ops.writeLimit = 3;
    DataStore store(f.data, f.temp, ops);
    QVERIFY(store.open());
    const Status st = run(store, Op(op));
    QVERIFY2(st, st.message.c_str());
    QCOMPARE(readFile(f.data), expectedAfter(Op(op)));
}

void TestDataStoreFaults::recoveryUnderFaults_data()
{
    QTest::addColumn<int>("err");
    QTest::newRow("ENOSPC") << ENOSPC;
    QTest::newRow("EIO") << EIO;
    QTest::newRow("EACCES") << EACCES;
}

// A start-up that fails while it restores an interrupted rewrite must leave the scratch
// file for the next start-up: the records are never lost on the way.
void TestDataStoreFaults::recoveryUnderFaults()
{
    QFETCH(int, err);
    const QByteArray scratch = "a|b|2026-01-01|1.00|1\r\nc|d|2026-01-01|2.00|2\r\ne|f|20";
    const QByteArray restored = "a|b|2026-01-01|1.00|1\r\nc|d|2026-01-01|2.00|2\r\n";
    int failures = 0;
    for (int k = 1;; ++k) {
        QVERIFY2(k < 100, "start-up never completes");
        Folder f;
        QVERIFY(writeFile(f.temp, scratch));
        FaultOps ops;
        ops.arm(k, err);
        {
            DataStore store(f.data, f.temp, ops);
            const Status st = store.open();
            ops.disarm();
            if (!ops.triggered()) {
                QVERIFY(st);
                QVERIFY(!store.recoveryNote().empty());
                QCOMPARE(readFile(f.data), restored);
                QVERIFY(!present(f.temp));
                QVERIFY(failures > 3);
                return;
            }
            if (!st) {
                ++failures;
                QVERIFY(!st.message.empty());
                QVERIFY(!store.isOpen());
            }
        }
        // Whatever the fault hit, the next start-up finds the records; the failed one has
        // also released the folder lock.
        DataStore next(f.data, f.temp);
        const Status again = next.open();
        QVERIFY2(again, again.message.c_str());
        QCOMPARE(readFile(f.data), restored);
        QVERIFY(!present(f.temp));
    }
}

void TestDataStoreFaults::readOnlyFolder_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<bool>("fileWritable");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("replace") << int(Op::Replace) << true << false;
    QTest::newRow("delete") << int(Op::Delete) << true << false;
    QTest::newRow("append to a read-only file") << int(Op::Append) << false << false;
    // Appending changes only the file, so a read-only folder does not stand in its way.
    QTest::newRow("append to a writable file") << int(Op::Append) << true << true;
}

void TestDataStoreFaults::readOnlyFolder()
{
    QFETCH(int, op);
    QFETCH(bool, fileWritable);
    QFETCH(bool, succeeds);
    QTemporaryDir base;
    QCOMPARE(::chmod(base.path().toLocal8Bit().constData(), 0755), 0);
    const std::string folder = base.filePath(QStringLiteral("data")).toStdString();
    const std::string data = folder + "/Kestrow.txt";
    const std::string temp = folder + "/xyzzy.tmp";
    QCOMPARE(::mkdir(folder.c_str(), 0755), 0);
    QVERIFY(writeFile(data, kBefore, fileWritable ? 0666 : 0444));
    QCOMPARE(::chmod(data.c_str(), fileWritable ? 0666 : 0444), 0);
    QCOMPARE(::chmod(folder.c_str(), 0555), 0);

    // Root may write anywhere, so the change is made by a child that has given up root.
    int status = 0;
    const QByteArray out = inChild(
        [&]() -> std::string {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                return std::string("skip: cannot change to user 65534: ") + std::strerror(errno);
            DataStore store(data, temp);
            const Status opened = store.open();
            if (!opened)
                return "open failed: " + opened.message;
            const Status st = run(store, Op(op));
            return (st ? "ok\n" : "failed\n") + st.message;
        },
        status);
    ::chmod(folder.c_str(), 0755);
    if (out.startsWith("skip: "))
        QSKIP(out.constData());
    QVERIFY(WIFEXITED(status));
    QVERIFY2(out.startsWith(succeeds ? "ok\n" : "failed\n"), out.constData());
    QVERIFY(!present(temp));
    if (succeeds) {
        QCOMPARE(readFile(data), expectedAfter(Op(op)));
    } else {
        QCOMPARE(readFile(data), kBefore);
        QVERIFY2(out.contains(std::strerror(EACCES)), out.constData());
        QVERIFY2(out.contains(QByteArray::fromStdString(data)), out.constData());
    }
}

void TestDataStoreFaults::fileSizeLimit_data()
{
    addOperationRows(false);
}

// A file size limit cuts the write short part way, then refuses the rest, as a disk that
// fills up does.
void TestDataStoreFaults::fileSizeLimit()
{
    QFETCH(int, op);
    Folder f;
    QVERIFY(writeFile(f.data, kBefore));
    // The append stops a few bytes into the new line, a rewrite half way through the copy.
    const rlim_t limit = Op(op) == Op::Append ? rlim_t(kBefore.size() + 5)
                                              : rlim_t(expectedAfter(Op(op)).size() / 2);
    int status = 0;
    const QByteArray out = inChild(
        [&]() -> std::string {
            DataStore store(f.data, f.temp);
            const Status opened = store.open();
            if (!opened)
                return "open failed: " + opened.message;
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit rl
            {
                limit, limit
            };
            if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
                return std::string("setrlimit failed: ") + std::strerror(errno);
            const Status st = run(store, Op(op));
            return (st ? "ok\n" : "failed\n") + st.message;
        },
        status);
    QVERIFY(WIFEXITED(status));
    QVERIFY2(out.startsWith("failed\n"), out.constData());
    QVERIFY2(out.contains(std::strerror(EFBIG)), out.constData());
    QCOMPARE(readFile(f.data), kBefore);
    QVERIFY(!present(f.temp));
}

QTEST_GUILESS_MAIN(TestDataStoreFaults)
#include "tst_datastore_faults.moc"
