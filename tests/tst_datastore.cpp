// The data file: reading, appending, rewriting through the scratch file, the lock against
// a second Kestrow, start-up recovery, planted links and permissions; then every system
// call of a change failed in turn, and real failures provoked (a folder the user may not
// write, a file size limit). After any failure the data file is byte for byte the old one
// and no scratch file is left. Files are read back with plain calls, never the store.
#include "core/datastore.h"
#include "testutil.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kestrow;

namespace {

template <std::size_t N> QByteArray Raw(const char (&text)[N])
{
    return QByteArray(text, N - 1); // may hold NUL bytes
}

QByteArrayList List(const std::vector<std::string>& lines)
{
    QByteArrayList out;
    for (const std::string& line : lines)
        out << QByteArray::fromStdString(line);
    return out;
}

bool Present(const std::string& path) // in any form, a dangling link included
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0;
}

mode_t Mode(const std::string& path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// "append LINE", "replace N LINE" or "delete N,N,...".
Status Change(DataStore& store, const QByteArray& change)
{
    const QByteArrayList word = change.split(' ');
    if (word[0] == "append")
        return store.append(change.mid(7).toStdString());
    if (word[0] == "replace")
        return store.rewriteReplacing(word[1].toInt(), change.mid(9 + word[1].size()).toStdString());
    std::vector<std::int32_t> numbers;
    for (const QByteArray& n : word.value(1).split(','))
        numbers.push_back(n.toInt());
    return store.rewriteDeleting(numbers);
}

// Fails the failAt-th call through the seam with errno err; the others reach the system.
class FaultOps : public FileOps
{
public:
    int failAt = 0;
    int err = 0;
    int calls = 0;
    std::string failed;         // the call that was failed, "fsync folder" for the folder
    std::size_t writeLimit = 0; // bytes one write takes at most, as on a nearly full disk

#define PASS(type, name, params, args)                                                             \
    type name params override { return fault(#name) ? -1 : FileOps::name args; }
    PASS(int, open, (const char* p, int f, mode_t m), (p, f, m))
    PASS(ssize_t, pread, (int fd, void* b, size_t n, off_t o), (fd, b, n, o))
    PASS(int, fstat, (int fd, struct stat* st), (fd, st))
    PASS(int, fchmod, (int fd, mode_t m), (fd, m))
    PASS(int, fdatasync, (int fd), (fd))
    PASS(int, ftruncate, (int fd, off_t n), (fd, n))
    PASS(int, rename, (const char* a, const char* b), (a, b))
    PASS(int, unlink, (const char* p), (p))
    PASS(int, lstat, (const char* p, struct stat* st), (p, st))
    PASS(int, flock, (int fd, int op), (fd, op))
#undef PASS
    ssize_t write(int fd, const void* b, size_t n) override
    {
        return fault("write") ? -1 : FileOps::write(fd, b, writeLimit ? std::min(n, writeLimit) : n);
    }
    int fsync(int fd) override
    {
        struct stat st = {};
        const bool folder = FileOps::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
        return fault(folder ? "fsync folder" : "fsync") ? -1 : FileOps::fsync(fd);
    }
    int close(int fd) override
    {
        const int result = FileOps::close(fd); // a failed close still releases it, as on Linux
        return fault("close") ? -1 : result;
    }

private:
    bool fault(const char* name)
    {
        if (failAt == 0 || ++calls != failAt)
            return false;
        failed = name;
        errno = err;
        return true;
    }
};

// The old file mixes line ends and lacks its final one, so every path of the writers runs.
const QByteArray kBefore = "Rent|Sub|2026-01-01|900.00|1\r\nGym|Mem|2026-02-01|30.00|1\n"
                           "Car|Sub|2026-03-01|1,234.50|12";
const QByteArray kChanges[] = {"append New|SG|2026-05-01|.50|3",
                               "replace 2 Gym|Mem|2027-02-01|35.00|12", "delete 3,1"};
const QByteArray kAfter[] = {kBefore + "\r\nNew|SG|2026-05-01|.50|3\r\n",
                             "Rent|Sub|2026-01-01|900.00|1\r\nGym|Mem|2027-02-01|35.00|12\r\n"
                             "Car|Sub|2026-03-01|1,234.50|12\r\n",
                             "Gym|Mem|2026-02-01|30.00|1\r\n"};

} // namespace

class TestDataStore : public QObject
{
    Q_OBJECT
private slots:
    void init() { f_ = std::make_unique<tu::Folder>(); }
    void cleanup() { store_.reset(); }
    void reading_data();
    void reading();
    void changes_data();
    void changes();
    void refusedChanges_data();
    void refusedChanges();
    void rewriteSpreadOverAWindow();
    void unfinishedRewrite_data();
    void unfinishedRewrite();
    void openingAndTheLock();
    void recovery_data();
    void recovery();
    void plantedLinks();
    void permissionsSurvive();
    void everyStepFails_data();
    void everyStepFails();
    void shortWritesAreContinued();
    void recoveryUnderFaults();
    void readOnlyFolder_data();
    void readOnlyFolder();
    void fileSizeLimit_data();
    void fileSizeLimit();

private:
    // A store on a data file holding `contents`, not opened yet.
    DataStore& open(const QByteArray& contents)
    {
        if (!f_->write(contents))
            qFatal("cannot write %s", f_->data.c_str());
        store_ = std::make_unique<DataStore>(f_->data, f_->temp);
        return *store_;
    }
    std::unique_ptr<tu::Folder> f_;
    std::unique_ptr<DataStore> store_;
};

void TestDataStore::reading_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
    QTest::newRow("CR") << QByteArray("a\rb\r") << QByteArrayList{"a", "b"};
    QTest::newRow("LF") << QByteArray("a\nb\n") << QByteArrayList{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd\r\n") << QByteArrayList{"a", "b", "c", "d"};
    QTest::newRow("no final line end") << QByteArray("a\r\nlast") << QByteArrayList{"a", "last"};
    QTest::newRow("blank line kept") << QByteArray("a\r\n\r\nb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("line end only") << QByteArray("\r\n") << QByteArrayList{""};
    QTest::newRow("odd bytes kept") << Raw("n\0ul|\xff\xfe|x\r\ncaf\xe9\r\n")
                                    << QByteArrayList{Raw("n\0ul|\xff\xfe|x"), "caf\xe9"};
    QTest::newRow("beyond one read") << QByteArray(40000, 'x') + "\ny"
                                     << QByteArrayList{QByteArray(40000, 'x'), "y"};
}

void TestDataStore::reading()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(List(SplitLines(contents.toStdString())), lines);
    DataStore& store = open(contents);
    QVERIFY(store.open());
    QCOMPARE(store.length(), contents.size());
    QCOMPARE(List(store.readLines()), lines);
    std::vector<std::string> again; // every reading starts from the first line
    QVERIFY(store.readLines(again));
    QCOMPARE(List(again), lines);
}

void TestDataStore::changes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<QByteArray>("after");
    const QByteArray car = "Car|Sub|2026-03-01|1,234.50|12";
    const QByteArray abc = "a\r\nb\r\nc\r\n";
    const auto row = [](const char* name, const QByteArray& before, const char* change,
                        const QByteArray& after) { QTest::newRow(name) << before << QByteArray(change) << after; };
    row("append after a record", car + "\r\n", "append G|M|d|.5|1", car + "\r\nG|M|d|.5|1\r\n");
    row("append to an empty file", "", "append G|M|d|.5|1", "G|M|d|.5|1\r\n");
    row("append after no final line end", car, "append G", car + "\r\nG\r\n");
    row("append after a CR", car + "\r", "append G", car + "\rG\r\n");
    row("append after a LF", car + "\n", "append G", car + "\nG\r\n");
    row("append after odd bytes", Raw("x\0\xff|y\r\n"), "append G", Raw("x\0\xff|y\r\nG\r\n"));
    row("replace the middle", abc, "replace 2 B", "a\r\nB\r\nc\r\n");
    row("replace the first", abc, "replace 1 A", "A\r\nb\r\nc\r\n");
    row("replace the last", abc, "replace 3 C", "a\r\nb\r\nC\r\n");
    row("replace the only record", car + "\r\n", "replace 1 x|y", "x|y\r\n");
    row("replace in a LF file", "a\nb\nc\n", "replace 2 B", "a\r\nB\r\nc\r\n");
    row("replace in a CR file without last end", "a\rb", "replace 1 A", "A\r\nb\r\n");
    row("replace keeps odd bytes and sixth fields",
        Raw("N\0|T|d|1|1|extra\r\nx\r\ncaf\xe9|\xff\xfe|d|.50|3\r\n"), "replace 2 y\xe9",
        Raw("N\0|T|d|1|1|extra\r\ny\xe9\r\ncaf\xe9|\xff\xfe|d|.50|3\r\n"));
    row("delete the first renumbers the rest", abc, "delete 1", "b\r\nc\r\n");
    row("delete the last", abc, "delete 3", "a\r\nb\r\n");
    row("delete in any order, twice named", "a\r\nb\r\nc\r\nd\r\ne\r\n", "delete 4,2,4,2",
        "a\r\nc\r\ne\r\n");
    row("delete every record", "a\r\nb\r\n", "delete 2,1", "");
    row("delete in a LF file", "a\nb\nc", "delete 2", "a\r\nc\r\n");
    row("delete keeps odd bytes", Raw("\xff\0|1\r\nx\r\nx|y|z|w|v|s\r\n"), "delete 2",
        Raw("\xff\0|1\r\nx|y|z|w|v|s\r\n"));
}

void TestDataStore::changes()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, after);
    DataStore& store = open(before);
    QVERIFY(store.open());
    const Status st = Change(store, change);
    QVERIFY2(st && st.message.empty(), st.message.c_str());
    QCOMPARE(f_->bytes(), after);
    QVERIFY(!f_->scratch());
    // The read handle follows the new file.
    QCOMPARE(store.length(), after.size());
    QCOMPARE(List(store.readLines()), tu::Lines(after));
}

void TestDataStore::refusedChanges_data()
{
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<QString>("reason");
    QTest::newRow("replace beyond the end") << QByteArray("replace 4 x") << "no record number 4";
    QTest::newRow("replace zero") << QByteArray("replace 0 x") << "no record number 0";
    QTest::newRow("replace negative") << QByteArray("replace -1 x") << "no record number -1";
    QTest::newRow("delete beyond the end") << QByteArray("delete 1,4") << "no record number 4";
    QTest::newRow("delete zero") << QByteArray("delete 0") << "no record number 0";
    QTest::newRow("append CR LF") << QByteArray("append A\r\nX") << "line break";
    QTest::newRow("append LF") << QByteArray("append A\nB") << "line break";
    QTest::newRow("append CR") << QByteArray("append A\rB") << "line break";
    QTest::newRow("replace by two lines") << QByteArray("replace 1 x\ny") << "line break";
}

void TestDataStore::refusedChanges()
{
    QFETCH(QByteArray, change);
    QFETCH(QString, reason);
    const QByteArray before = "a\r\nb\nc";
    DataStore& store = open(before);
    QVERIFY(store.open());
    const Status st = Change(store, change);
    QVERIFY(!st);
    QVERIFY2(st.message.find(f_->data) != std::string::npos &&
                 st.message.find(reason.toStdString()) != std::string::npos,
             st.message.c_str());
    QCOMPARE(f_->bytes(), before);
    QVERIFY(!f_->scratch());
    QVERIFY(store.rewriteReplacing(1, "A")); // the store is still usable
}

// The edit form and Pay hold a rewrite open while they wait for the user.
void TestDataStore::rewriteSpreadOverAWindow()
{
    DataStore& store = open("a\nb\r\nc\rd");
    QVERIFY(store.open());
    Rewrite rewrite = store.beginRewrite();
    QCOMPARE(rewrite.copyUntil(3).value_or("<none>"), std::string("c"));
    // Meanwhile the scratch file holds the lines before; the data file is untouched.
    QCOMPARE(tu::ReadFile(f_->tempPath), QByteArray("a\r\nb\r\n"));
    QCOMPARE(f_->bytes(), QByteArray("a\nb\r\nc\rd"));
    // One change at a time: the others are refused and do not disturb it.
    QVERIFY(!store.beginRewrite().active());
    QVERIFY(!store.beginRewrite().complete());
    QVERIFY(!store.rewriteDeleting({1}));
    QVERIFY(!store.append("e")); // its line would be lost when the rewrite's file replaces it
    Rewrite moved(std::move(rewrite));
    moved.writeLine("C");
    moved.copyRest();
    QVERIFY(!moved.copyLine() && !moved.skipLine());
    const Status st = moved.complete();
    QVERIFY2(st && st.message.empty(), st.message.c_str());
    QVERIFY(!moved.complete()); // a finished rewrite cannot complete twice
    QCOMPARE(f_->bytes(), QByteArray("a\r\nb\r\nC\r\nd\r\n"));
    QVERIFY(!f_->scratch());
    // A record the file does not hold: every line is copied, nothing comes back.
    Rewrite beyond = store.beginRewrite();
    QVERIFY(!beyond.copyUntil(5));
    QCOMPARE(tu::ReadFile(f_->tempPath), QByteArray("a\r\nb\r\nC\r\nd\r\n"));
}

void TestDataStore::unfinishedRewrite_data()
{
    QTest::addColumn<int>("ending");
    QTest::newRow("abandoned") << 0;
    QTest::newRow("destroyed") << 1;
    QTest::newRow("store closed") << 2;
}

void TestDataStore::unfinishedRewrite()
{
    QFETCH(int, ending);
    const QByteArray before = "a\nb\r\nc";
    DataStore& store = open(before);
    QVERIFY(store.open());
    {
        Rewrite rewrite = store.beginRewrite();
        QVERIFY(rewrite.copyUntil(2));
        rewrite.writeLine("changed");
        QVERIFY(f_->scratch());
        if (ending == 0)
            rewrite.abandon();
        if (ending == 2)
            store.close();
        QVERIFY(ending == 1 || (!rewrite.active() && !f_->scratch() && !rewrite.complete()));
    }
    QCOMPARE(f_->bytes(), before);
    QCOMPARE(Entries(f_->dir.path()), QStringList{"Kestrow.txt"});
    if (ending != 2)
        QVERIFY(store.rewriteReplacing(3, "C")); // a new rewrite may start
}

void TestDataStore::openingAndTheLock()
{
    // A missing folder, and a folder at the data file's name, are refused by name; a
    // failed start-up holds no lock.
    DataStore nowhere(f_->dir.filePath("missing/Kestrow.txt").toStdString(), f_->temp);
    QVERIFY(!nowhere.open() && !nowhere.isOpen());
    QVERIFY(QDir().mkdir(f_->dataPath));
    DataStore folder(f_->data, f_->temp);
    const Status refused = folder.open();
    QVERIFY2(!refused && refused.message.find("Kestrow.txt: " + std::string(std::strerror(EISDIR))) !=
                             std::string::npos,
             refused.message.c_str());
    QVERIFY(QDir().rmdir(f_->dataPath));

    // No file yet: an empty one, as the umask allows, and nothing else.
    const mode_t old = ::umask(022);
    const Status opened = folder.open();
    ::umask(old);
    QVERIFY2(opened && folder.recoveryNote().empty(), opened.message.c_str());
    QCOMPARE(f_->bytes(), QByteArray());
    QCOMPARE(Mode(f_->data), mode_t(0644));

    // A second Kestrow on the same folder is refused; the lock is on the folder itself.
    DataStore second(f_->data, f_->temp);
    const Status twice = second.open();
    QVERIFY2(!twice && twice.message.find("already running") != std::string::npos &&
                 twice.message.find(f_->data) != std::string::npos,
             twice.message.c_str());
    QCOMPARE(Entries(f_->dir.path()), QStringList{"Kestrow.txt"});
    folder.close();
    QVERIFY(second.open());
}

void TestDataStore::recovery_data()
{
    QTest::addColumn<QByteArray>("data");    // "-": no data file
    QTest::addColumn<QByteArray>("scratch"); // "-": no scratch file
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("noted");
    QTest::newRow("scratch restored") << QByteArray("-") << QByteArray("a\r\nb\r\n")
                                      << QByteArray("a\r\nb\r\n") << true;
    QTest::newRow("partial last line cut off")
        << QByteArray("-") << QByteArray("a\r\nb\r\nc|Su") << QByteArray("a\r\nb\r\n") << true;
    QTest::newRow("only a partial line") << QByteArray("-") << QByteArray("c|Su") << QByteArray()
                                         << true;
    QTest::newRow("empty scratch") << QByteArray("-") << QByteArray() << QByteArray() << true;
    QTest::newRow("stale scratch beside the data file")
        << QByteArray("a\r\n") << QByteArray("x\r\ny") << QByteArray("a\r\n") << false;
    QTest::newRow("neither: an empty data file") << QByteArray("-") << QByteArray("-")
                                                 << QByteArray() << false;
    QTest::newRow("data file only") << QByteArray("a\nb") << QByteArray("-") << QByteArray("a\nb")
                                    << false;
}

void TestDataStore::recovery()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, scratch);
    QFETCH(QByteArray, expected);
    QFETCH(bool, noted);
    QVERIFY(data == "-" || f_->write(data));
    QVERIFY(scratch == "-" || tu::WriteFile(f_->tempPath, scratch));
    DataStore store(f_->data, f_->temp);
    const Status st = store.open();
    QVERIFY2(st, st.message.c_str());
    QCOMPARE(f_->bytes(), expected);
    QVERIFY(!f_->scratch());
    QCOMPARE(store.recoveryNote().find(f_->data) != std::string::npos, noted);
    QCOMPARE(List(store.readLines()), tu::Lines(expected));
}

// A link at the scratch name is never taken as data nor written through, whether it was
// there at start-up or planted later where the next rewrite creates its scratch file.
void TestDataStore::plantedLinks()
{
    QTemporaryDir outside;
    const std::string victim = outside.filePath("victim").toStdString();
    QVERIFY(tu::WriteFile(outside.filePath("victim"), "secret\r\n"));
    QCOMPARE(::symlink(victim.c_str(), f_->temp.c_str()), 0);
    DataStore& store = open("a\r\nb\r\nc\r\nd\r\n");
    QVERIFY(store.open() && store.recoveryNote().empty() && !Present(f_->temp));
    const std::string dangling = outside.filePath("none").toStdString();
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(::symlink((i < 2 ? victim : dangling).c_str(), f_->temp.c_str()), 0);
        QVERIFY(i % 2 ? store.rewriteDeleting({1}) : store.rewriteReplacing(1, "A"));
        QVERIFY(!Present(f_->temp));
    }
    QCOMPARE(f_->bytes(), QByteArray("c\r\nd\r\n"));
    QCOMPARE(tu::ReadFile(outside.filePath("victim")), QByteArray("secret\r\n"));
    QCOMPARE(Entries(outside.path()), QStringList{"victim"});
}

void TestDataStore::permissionsSurvive()
{
    for (const mode_t mode : {0640, 0600, 0664}) { // 0664 is wider than the umask allows
        DataStore& store = open("a\r\nb\r\n");
        QCOMPARE(::chmod(f_->data.c_str(), mode), 0);
        const mode_t old = ::umask(022);
        const bool done = store.open() && store.rewriteReplacing(2, "B") && store.rewriteDeleting({1});
        ::umask(old);
        QVERIFY(done);
        QCOMPARE(f_->bytes(), QByteArray("B\r\n"));
        QCOMPARE(Mode(f_->data), mode);
    }
}

void TestDataStore::everyStepFails_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<int>("err");
    for (int change = 0; change < 3; ++change) {
        for (const int err : {ENOSPC, EIO, EACCES})
            QTest::addRow("%s, %s", kChanges[change].split(' ')[0].constData(), strerrorname_np(err))
                << change << err;
    }
}

// Each system call of the change fails in turn until the change runs through untouched.
void TestDataStore::everyStepFails()
{
    QFETCH(int, change);
    QFETCH(int, err);
    int failures = 0;
    for (int k = 1;; ++k) {
        QVERIFY2(k < 200, "the change never completes");
        FaultOps ops;
        QVERIFY(f_->write(kBefore));
        DataStore store(f_->data, f_->temp, ops);
        QVERIFY(store.open());
        ops.failAt = k;
        ops.err = err;
        const Status st = Change(store, kChanges[change]);
        ops.failAt = 0;
        const QByteArray where = "call " + QByteArray::number(k) + " (" +
                                 QByteArray::fromStdString(ops.failed) + "): " +
                                 QByteArray::fromStdString(st.message);
        QVERIFY2(!f_->scratch(), where.constData());
        if (ops.failed.empty()) { // fewer than k calls: the change ran through
            QVERIFY2(st, where.constData());
            QCOMPARE(f_->bytes(), kAfter[change]);
            break;
        }
        if (st) {
            // Only failures the change can do without: a close once the data is on disk,
            // or the folder's flush after the rename, which leaves a warning.
            QVERIFY2(ops.failed == "close" || ops.failed == "fsync folder", where.constData());
            QCOMPARE(st.message.empty(), ops.failed == "close");
            QCOMPARE(f_->bytes(), kAfter[change]);
            QCOMPARE(store.length(), kAfter[change].size());
            continue;
        }
        ++failures;
        QCOMPARE(f_->bytes(), kBefore);
        QVERIFY2(st.message.find(f_->data) != std::string::npos &&
                     st.message.find(std::strerror(err)) != std::string::npos,
                 where.constData());
        // The store still reads the old file, and the change goes through once the fault
        // is gone.
        QCOMPARE(List(store.readLines()), tu::Lines(kBefore));
        QVERIFY(Change(store, kChanges[change]));
        QCOMPARE(f_->bytes(), kAfter[change]);
    }
    QVERIFY(failures > 3);
}

void TestDataStore::shortWritesAreContinued()
{
    for (int change = 0; change < 3; ++change) {
        FaultOps ops;
        ops.writeLimit = 3;
        QVERIFY(f_->write(kBefore));
        DataStore store(f_->data, f_->temp, ops);
        QVERIFY(store.open() && Change(store, kChanges[change]));
        QCOMPARE(f_->bytes(), kAfter[change]);
    }
}

// A start-up that fails while it restores an interrupted rewrite leaves the scratch file
// for the next start-up: the records are never lost on the way.
void TestDataStore::recoveryUnderFaults()
{
    const QByteArray restored = "a|b|2026-01-01|1.00|1\r\nc|d|2026-01-01|2.00|2\r\n";
    for (const int err : {ENOSPC, EIO, EACCES}) {
        int failures = 0;
        for (int k = 1;; ++k) {
            QVERIFY2(k < 100, "start-up never completes");
            tu::Folder f;
            QVERIFY(tu::WriteFile(f.tempPath, restored + "e|f|20"));
            FaultOps ops;
            ops.failAt = k;
            ops.err = err;
            {
                DataStore store(f.data, f.temp, ops);
                const Status st = store.open();
                failures += !st;
                QVERIFY(st || (!st.message.empty() && !store.isOpen()));
            }
            DataStore next(f.data, f.temp); // also proves the failed one let the lock go
            QVERIFY(next.open());
            QCOMPARE(f.bytes(), restored);
            QVERIFY(!f.scratch());
            if (ops.failed.empty())
                break;
        }
        QVERIFY(failures > 3);
    }
}

void TestDataStore::readOnlyFolder_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("fileWritable");
    QTest::newRow("replace") << 1 << true;
    QTest::newRow("delete") << 2 << true;
    QTest::newRow("append to a read-only file") << 0 << false;
    // Appending changes only the file, so the folder does not stand in its way.
    QTest::newRow("append to a writable file") << 0 << true;
}

void TestDataStore::readOnlyFolder()
{
    QFETCH(int, change);
    QFETCH(bool, fileWritable);
    const std::string folder = f_->dir.filePath("data").toStdString();
    const std::string data = folder + "/Kestrow.txt";
    QCOMPARE(::chmod(f_->dir.path().toLocal8Bit().constData(), 0755), 0);
    QCOMPARE(::mkdir(folder.c_str(), 0755), 0);
    QVERIFY(tu::WriteFile(QString::fromStdString(data), kBefore));
    QCOMPARE(::chmod(data.c_str(), fileWritable ? 0666 : 0444), 0);
    QCOMPARE(::chmod(folder.c_str(), 0555), 0);
    // Root may write anywhere, so the change is made by a child that has given up root.
    int status = 0;
    const QByteArray out = tu::InChild(
        [&]() -> std::string {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                return std::string("skip: cannot become user 65534: ") + std::strerror(errno);
            DataStore store(data, folder + "/xyzzy.tmp");
            const Status st = store.open() ? Change(store, kChanges[change]) : Status::failure("open");
            return (st ? "ok\n" : "failed\n") + st.message;
        },
        status);
    ::chmod(folder.c_str(), 0755);
    if (out.startsWith("skip: "))
        QSKIP(out.constData());
    const bool succeeds = change == 0 && fileWritable;
    QVERIFY2(out.startsWith(succeeds ? "ok\n" : "failed\n"), out.constData());
    QVERIFY(!Present(folder + "/xyzzy.tmp"));
    QCOMPARE(tu::ReadFile(QString::fromStdString(data)), succeeds ? kAfter[0] : kBefore);
    QVERIFY2(succeeds || (out.contains(std::strerror(EACCES)) && out.contains(data.c_str())),
             out.constData());
}

void TestDataStore::fileSizeLimit_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("append") << 0;
    QTest::newRow("replace") << 1;
    QTest::newRow("delete") << 2;
}

// The limit cuts a write short part way, then refuses the rest, as a disk that fills up.
void TestDataStore::fileSizeLimit()
{
    QFETCH(int, change);
    DataStore& store = open(kBefore);
    QVERIFY(store.open());
    // The append stops a few bytes into the new line, a rewrite half way through the copy.
    const rlim_t limit = change == 0 ? rlim_t(kBefore.size() + 5) : rlim_t(kAfter[change].size() / 2);
    int status = 0;
    const QByteArray out = tu::InChild(
        [&]() -> std::string {
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit rl = {limit, limit};
            if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
                return "setrlimit failed";
            const Status st = Change(store, kChanges[change]);
            return (st ? "ok\n" : "failed\n") + st.message;
        },
        status);
    QVERIFY2(out.startsWith("failed\n") && out.contains(std::strerror(EFBIG)), out.constData());
    QCOMPARE(f_->bytes(), kBefore);
    QVERIFY(!f_->scratch());
}

QTEST_GUILESS_MAIN(TestDataStore)
#include "tst_datastore.moc"
