// The data file: reading, appending, rewriting through the scratch file, the lock against
// a second Kestrow, start-up recovery, planted links and permissions; every system call of
// a change failed in turn, and real failures provoked (a folder the user may not write, a
// file size limit); and Kestrow killed at random moments. After any failure the data file
// is byte for byte the old one and no scratch file is left.
#include "testutil.h"

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <random>
#include <sys/resource.h>

using namespace kestrow;

namespace {

template <std::size_t N> QByteArray Raw(const char (&text)[N]) // may hold NUL bytes
{
    return QByteArray(text, N - 1);
}
QByteArrayList List(const std::vector<std::string>& lines)
{
    QByteArrayList out;
    for (const std::string& line : lines)
        out << QByteArray::fromStdString(line);
    return out;
}
struct stat Stat(const std::string& path) // st_mode 0: nothing there, not even a dangling link
{
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st;
}

// "append LINE", "replace N LINE" or "delete N,N,...".
Status Change(DataStore& store, const QByteArray& change)
{
    const QByteArrayList word = change.split(' ');
    if (word[0] == "append")
        return store.append(change.mid(7).toStdString());
    if (word[0] == "replace")
        return store.rewriteReplacing(word[1].toInt(),
                                      change.mid(9 + word[1].size()).toStdString());
    std::vector<std::int32_t> numbers;
    for (const QByteArray& n : word[1].split(','))
        numbers.push_back(n.toInt());
    return store.rewriteDeleting(numbers);
}

// Fails call number failAt through the seam with errno err; the others reach the system.
struct FaultOps : FileOps
{
    int failAt = 0, err = 0, calls = 0;
    std::string failed;         // the call failed; "fsync folder" when it was the folder's
    std::size_t writeLimit = 0; // bytes one write takes at most, as on a nearly full disk
    bool fault(const char* name)
    {
        if (failAt == 0 || ++calls != failAt)
            return false;
        failed = name;
        errno = err;
        return true;
    }
#define PASS(type, name, params, args)                                                             \
    type name params override                                                                      \
    {                                                                                              \
        return fault(#name) ? -1 : FileOps::name args;                                             \
    }
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
        return fault("write") ? -1
                              : FileOps::write(fd, b, writeLimit ? std::min(n, writeLimit) : n);
    }
    int fsync(int fd) override
    {
        struct stat st = {};
        FileOps::fstat(fd, &st);
        return fault(S_ISDIR(st.st_mode) ? "fsync folder" : "fsync") ? -1 : FileOps::fsync(fd);
    }
    int close(int fd) override // a failed close still releases the descriptor, as on Linux
    {
        const int result = FileOps::close(fd);
        return fault("close") ? -1 : result;
    }
};

// The old file mixes line ends and lacks its final one, so every path of the writers runs.
const QByteArray kBefore =
    "Rent|Sub|2026-01-01|900.00|1\r\nGym|Mem|2026-02-01|30.00|1\nCar|Sub|d|5|1";
const QByteArray kChanges[] = {"append New|SG|d|.50|3", "replace 2 Gym|Mem|d|35|1", "delete 3,1"};
const QByteArray kAfter[] = {kBefore + "\r\nNew|SG|d|.50|3\r\n",
                             "Rent|Sub|2026-01-01|900.00|1\r\nGym|Mem|d|35|1\r\nCar|Sub|d|5|1\r\n",
                             "Gym|Mem|2026-02-01|30.00|1\r\n"};

std::string Record(long id, unsigned cents)
{
    return "Rec " + std::to_string(id) + "|Sub|d|" + std::to_string(cents / 100) + "." +
           std::to_string(cents % 100 / 10) + std::to_string(cents % 10) + "|12";
}
// Applies an announced change ("A line", "R n line", "D n m") to the lines.
void Apply(const std::string& change, std::vector<std::string>& lines)
{
    std::size_t end = 0;
    const auto n = change[0] == 'A' ? 0 : std::size_t(std::stoi(change.substr(2), &end));
    if (change[0] == 'A')
        lines.push_back(change.substr(2));
    else if (change[0] == 'R')
        lines.at(n - 1) = change.substr(3 + end);
    if (change[0] != 'D')
        return;
    const auto m = std::size_t(std::stoi(change.substr(3 + end)));
    lines.erase(lines.begin() + long(std::max(n, m) - 1));
    if (n != m)
        lines.erase(lines.begin() + long(std::min(n, m) - 1));
}

// The changing Kestrow: announces each change, makes it, acknowledges it; never returns.
[[noreturn]] void ChangeForever(const tu::Folder& f, int fd, unsigned start, long id)
{
    ::fcntl(fd, F_SETPIPE_SZ, 1 << 20);              // room for every message without blocking
    const auto say = [fd](const std::string& text) { // below PIPE_BUF: never torn
        [[maybe_unused]] auto n = ::write(fd, text.data(), text.size());
    };
    DataStore store(f.data, f.temp);
    if (!store.open())
        ::_exit(1);
    std::vector<std::string> lines = store.readLines();
    say("S\n");
    for (std::mt19937 random(start);; ++id) {
        const unsigned choice = random() % 10;
        const auto n = std::int32_t(1 + random() % lines.size());
        const auto m = std::int32_t(1 + random() % lines.size());
        const std::string line = Record(id, random() % 500000);
        Status done;
        std::string change = "R " + std::to_string(n) + " " + line;
        if (lines.size() < 4 || (choice < 4 && lines.size() < 40)) {
            say((change = "A " + line) + "\n");
            done = store.append(line);
        } else if (choice >= 7) {
            say((change = "D " + std::to_string(n) + " " + std::to_string(m)) + "\n");
            done = store.rewriteDeleting({n, m});
        } else if (say(change + "\n"); choice < 6) {
            done = store.rewriteReplacing(n, line);
        } else { // as the edit form does it, over several calls
            Rewrite rewrite = store.beginRewrite();
            rewrite.copyUntil(n);
            rewrite.writeLine(line);
            rewrite.copyRest();
            done = rewrite.complete();
        }
        if (!done)
            ::_exit(2);
        Apply(change, lines);
        say("K\n");
    }
}

} // namespace

class TestDataStore : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Folder> f;
    std::unique_ptr<DataStore> store;
    // A store opened on a data file holding `contents`.
    DataStore& open(const QByteArray& contents)
    {
        store.reset();
        if (!f->write(contents) || !(store = std::make_unique<DataStore>(f->data, f->temp))->open())
            qFatal("cannot open %s", f->data.c_str());
        return *store;
    }

private slots:
    void init() { f = std::make_unique<tu::Folder>(); }
    void cleanup() { store.reset(); }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("empty") << QByteArray() << QByteArrayList{};
        QTest::newRow("CR LF, CR, LF")
            << QByteArray("a\r\nb\rc\nd\r\n") << QByteArrayList{"a", "b", "c", "d"};
        QTest::newRow("no final line end")
            << QByteArray("a\r\nlast") << QByteArrayList{"a", "last"};
        QTest::newRow("blank line kept")
            << QByteArray("a\r\n\r\nb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("line end only") << QByteArray("\r\n") << QByteArrayList{""};
        QTest::newRow("odd bytes kept")
            << Raw("n\0ul|\xff\xfe\r\ncaf\xe9") << QByteArrayList{Raw("n\0ul|\xff\xfe"), "caf\xe9"};
        QTest::newRow("beyond one read")
            << QByteArray(40000, 'x') + "\ny" << QByteArrayList{QByteArray(40000, 'x'), "y"};
    }
    void reading()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QByteArrayList, lines);
        QCOMPARE(List(SplitLines(contents.toStdString())), lines);
        DataStore& store = open(contents);
        QCOMPARE(store.length(), contents.size());
        std::vector<std::string> again; // every reading starts from the first line
        QVERIFY(store.readLines(again));
        QCOMPARE(List(store.readLines()) + List(again), lines + lines);
    }

    void changes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("change");
        QTest::addColumn<QByteArray>("after");
        const QByteArray abc = "a\r\nb\r\nc\r\n";
        const auto row = [](const char* name, const QByteArray& before, const char* change,
                            const QByteArray& after) {
            QTest::newRow(name) << before << QByteArray(change) << after;
        };
        row("append to an empty file", "", "append G", "G\r\n");
        row("append after no final line end", "a", "append G", "a\r\nG\r\n");
        row("append after a CR", "a\r", "append G", "a\rG\r\n");
        row("append after a LF", "a\n", "append G", "a\nG\r\n");
        row("append after odd bytes", Raw("x\0\xff|y\r\n"), "append G", Raw("x\0\xff|y\r\nG\r\n"));
        row("replace the first", abc, "replace 1 A", "A\r\nb\r\nc\r\n");
        row("replace the last", abc, "replace 3 C", "a\r\nb\r\nC\r\n");
        row("replace in a LF file", "a\nb\nc\n", "replace 2 B", "a\r\nB\r\nc\r\n");
        row("replace in a CR file without last end", "a\rb", "replace 1 A", "A\r\nb\r\n");
        row("replace keeps odd bytes and sixth fields",
            Raw("N\0|T|d|1|1|x\r\nx\r\n\xff|d|.5|3\r\n"), "replace 2 y\xe9",
            Raw("N\0|T|d|1|1|x\r\ny\xe9\r\n\xff|d|.5|3\r\n"));
        row("delete the first renumbers the rest", abc, "delete 1", "b\r\nc\r\n");
        row("delete in any order, twice named", abc + "d\r\ne", "delete 4,2,4,2",
            "a\r\nc\r\ne\r\n");
        row("delete every record", "a\r\nb\r\n", "delete 2,1", "");
        row("delete keeps odd bytes", Raw("\xff\0|1\nx\nx|y|z|w|v|s"), "delete 2",
            Raw("\xff\0|1\r\nx|y|z|w|v|s\r\n"));
    }
    void changes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, change);
        QFETCH(QByteArray, after);
        DataStore& store = open(before);
        const Status st = Change(store, change);
        QVERIFY2(st && st.message.empty(), st.message.c_str());
        QCOMPARE(f->bytes(), after);
        QVERIFY(!f->scratch());
        QCOMPARE(store.length(), after.size()); // the read handle follows the new file
        QCOMPARE(List(store.readLines()), tu::Lines(after));
    }

    void refusedChanges_data()
    {
        QTest::addColumn<QByteArray>("change");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* change, const char* reason) {
            QTest::newRow(change) << QByteArray(change) << QString(reason);
        };
        row("replace 4 x", "no record number 4");
        row("replace 0 x", "no record number 0");
        row("replace -1 x", "no record number -1");
        row("delete 1,4", "no record number 4");
        row("delete 0", "no record number 0");
        row("append A\r\nX", "line break");
        row("append A\nB", "line break");
        row("append A\rB", "line break");
        row("replace 1 x\ny", "line break");
    }
    void refusedChanges()
    {
        QFETCH(QByteArray, change);
        QFETCH(QString, reason);
        DataStore& store = open("a\r\nb\nc");
        const Status st = Change(store, change);
        QVERIFY2(!st && st.message.find(f->data) != std::string::npos &&
                     st.message.find(reason.toStdString()) != std::string::npos,
                 st.message.c_str());
        QCOMPARE(f->bytes(), QByteArray("a\r\nb\nc"));
        QVERIFY(!f->scratch() && store.rewriteReplacing(1, "A")); // the store is still usable
    }

    // The edit form and Pay hold a rewrite open while they wait for the user.
    void rewriteSpreadOverAWindow()
    {
        DataStore& store = open("a\nb\r\nc\rd");
        Rewrite rewrite = store.beginRewrite();
        QCOMPARE(rewrite.copyUntil(3).value_or("-"), std::string("c"));
        // Meanwhile the scratch file holds the lines before; the data file is untouched.
        QCOMPARE(tu::ReadFile(f->tempPath) + f->bytes(), QByteArray("a\r\nb\r\na\nb\r\nc\rd"));
        // One change at a time: the others are refused and do not disturb it; an appended
        // line would be lost when the rewrite's file replaced this one.
        QVERIFY(!store.beginRewrite().complete() && !store.rewriteDeleting({1}) &&
                !store.append("e"));
        Rewrite moved(std::move(rewrite));
        moved.writeLine("C");
        moved.copyRest();
        QVERIFY(!moved.copyLine() && !moved.skipLine());
        const Status st = moved.complete();
        QVERIFY2(st && st.message.empty() && !moved.complete(), st.message.c_str());
        QCOMPARE(f->bytes(), QByteArray("a\r\nb\r\nC\r\nd\r\n"));
        // A record the file does not hold: every line is copied, nothing comes back.
        Rewrite beyond = store.beginRewrite();
        QVERIFY(!beyond.copyUntil(5));
        QCOMPARE(tu::ReadFile(f->tempPath), f->bytes());
    }

    void unfinishedRewrite()
    {
        for (int ending = 0; ending < 3; ++ending) { // abandoned, destroyed, store closed
            DataStore& store = open("a\nb\r\nc");
            {
                Rewrite rewrite = store.beginRewrite();
                QVERIFY(rewrite.copyUntil(2) && f->scratch());
                rewrite.writeLine("changed");
                if (ending == 0)
                    rewrite.abandon();
                if (ending == 2)
                    store.close();
                QVERIFY(ending == 1 || (!rewrite.active() && !f->scratch() && !rewrite.complete()));
            }
            QCOMPARE(f->bytes(), QByteArray("a\nb\r\nc"));
            QCOMPARE(QDir(f->dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"Kestrow.txt"});
            QVERIFY(ending == 2 || store.rewriteReplacing(3, "C")); // a new rewrite may start
        }
    }

    void openingAndTheLock()
    {
        // A missing folder, and a folder at the data file's name, are refused by name; a
        // failed start-up holds no lock.
        QVERIFY(!DataStore(f->dir.filePath("none/Kestrow.txt").toStdString(), f->temp).open());
        QVERIFY(QDir().mkdir(f->dataPath));
        DataStore first(f->data, f->temp);
        const Status refused = first.open();
        QVERIFY2(refused.message.find("Kestrow.txt: " + std::string(std::strerror(EISDIR))) !=
                     std::string::npos,
                 refused.message.c_str());
        QVERIFY(QDir().rmdir(f->dataPath));
        const mode_t old = ::umask(022); // no file yet: an empty one, as the umask allows
        QVERIFY(first.open() && first.recoveryNote().empty());
        ::umask(old);
        QCOMPARE(f->bytes(), QByteArray());
        QCOMPARE(Stat(f->data).st_mode & 0777, 0644u);
        // A second Kestrow on the folder is refused; the lock is on the folder itself.
        DataStore second(f->data, f->temp);
        const Status twice = second.open();
        QVERIFY2(!twice && twice.message.find("already running") != std::string::npos &&
                     twice.message.find(f->data) != std::string::npos,
                 twice.message.c_str());
        QCOMPARE(QDir(f->dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Kestrow.txt"});
        first.close();
        QVERIFY(second.open());
    }

    void recovery_data()
    {
        QTest::addColumn<QByteArray>("data");    // "-": no data file
        QTest::addColumn<QByteArray>("scratch"); // "-": no scratch file
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("scratch restored")
            << QByteArray("-") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("partial last line cut off")
            << QByteArray("-") << QByteArray("a\r\nc|Su") << QByteArray("a\r\n");
        QTest::newRow("only a partial line")
            << QByteArray("-") << QByteArray("c|Su") << QByteArray();
        QTest::newRow("empty scratch") << QByteArray("-") << QByteArray() << QByteArray();
        QTest::newRow("stale scratch beside the data file")
            << QByteArray("a") << QByteArray("x\r\n") << QByteArray("a");
        QTest::newRow("neither: an empty file")
            << QByteArray("-") << QByteArray("-") << QByteArray();
    }
    void recovery()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, scratch);
        QFETCH(QByteArray, expected);
        QVERIFY((data == "-" || f->write(data)) &&
                (scratch == "-" || tu::WriteFile(f->tempPath, scratch)));
        DataStore store(f->data, f->temp);
        const Status st = store.open();
        QVERIFY2(st, st.message.c_str());
        QCOMPARE(f->bytes(), expected);
        QVERIFY(!f->scratch());
        // The user hears of a restored file, naming it.
        QCOMPARE(store.recoveryNote().find(f->data) != std::string::npos,
                 data == "-" && scratch != "-");
        QCOMPARE(List(store.readLines()), tu::Lines(expected));
    }

    // A link at the scratch name is never taken as data nor written through, whether it was
    // there at start-up or planted later where the next rewrite makes its scratch file.
    void plantedLinks()
    {
        QTemporaryDir outside;
        const std::string victim = outside.filePath("victim").toStdString();
        QVERIFY(tu::WriteFile(outside.filePath("victim"), "secret"));
        QCOMPARE(::symlink(victim.c_str(), f->temp.c_str()), 0);
        DataStore& store = open("a\r\nb\r\nc\r\nd\r\n");
        QVERIFY(store.recoveryNote().empty() && Stat(f->temp).st_mode == 0);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(::symlink((i < 2 ? victim : victim + "x").c_str(), f->temp.c_str()), 0);
            QVERIFY(i % 2 ? store.rewriteDeleting({1}) : store.rewriteReplacing(1, "A"));
            QVERIFY(Stat(f->temp).st_mode == 0);
        }
        QCOMPARE(f->bytes() + tu::ReadFile(outside.filePath("victim")),
                 QByteArray("c\r\nd\r\nsecret"));
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files), QStringList{"victim"});
    }

    void permissionsSurvive()
    {
        for (const mode_t mode : {0640, 0600, 0664}) { // 0664 is wider than the umask allows
            DataStore& store = open("a\r\nb\r\n");
            QCOMPARE(::chmod(f->data.c_str(), mode), 0);
            const mode_t old = ::umask(022);
            const bool done = store.rewriteReplacing(2, "B") && store.rewriteDeleting({1});
            ::umask(old);
            QVERIFY(done && f->bytes() == "B\r\n");
            QCOMPARE(Stat(f->data).st_mode & 07777, mode);
        }
    }

    void everyStepFails_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<int>("err");
        for (int change = 0; change < 3; ++change)
            for (const int err : {ENOSPC, EIO, EACCES})
                QTest::addRow("%s, %s", kChanges[change].split(' ')[0].constData(),
                              strerrorname_np(err))
                    << change << err;
    }
    // Each system call of the change fails in turn, until the change runs through untouched.
    void everyStepFails()
    {
        QFETCH(int, change);
        QFETCH(int, err);
        int failures = 0;
        for (int k = 1; k < 200; ++k) {
            FaultOps ops;
            QVERIFY(f->write(kBefore));
            DataStore store(f->data, f->temp, ops);
            QVERIFY(store.open());
            ops.failAt = k;
            ops.err = err;
            const Status st = Change(store, kChanges[change]);
            ops.failAt = 0;
            const QByteArray where =
                QByteArray::number(k) + ": " + ops.failed.c_str() + ": " + st.message.c_str();
            QVERIFY2(!f->scratch(), where.constData());
            if (st) {
                // Only failures the change can do without: a close once the data is on disk,
                // or the folder's flush after the rename, which leaves a warning.
                QVERIFY2(ops.failed.empty() || ops.failed == "close" ||
                             ops.failed == "fsync folder",
                         where.constData());
                QVERIFY2(st.message.empty() == (ops.failed != "fsync folder"), where.constData());
                QCOMPARE(f->bytes(), kAfter[change]);
                QCOMPARE(store.length(), kAfter[change].size());
                if (!ops.failed.empty())
                    continue;
                QVERIFY(failures > 3); // every call of the change has failed once
                return;
            }
            ++failures;
            QVERIFY2(st.message.find(f->data) != std::string::npos &&
                         st.message.find(std::strerror(err)) != std::string::npos,
                     where.constData());
            QCOMPARE(f->bytes(), kBefore);
            // The store still reads the old file, and the change goes through once the
            // fault is gone.
            QCOMPARE(List(store.readLines()), tu::Lines(kBefore));
            QVERIFY(Change(store, kChanges[change]) && f->bytes() == kAfter[change]);
        }
        QFAIL("the change never completes");
    }

    void shortWritesAreContinued()
    {
        for (int change = 0; change < 3; ++change) {
            FaultOps ops;
            ops.writeLimit = 3;
            QVERIFY(f->write(kBefore));
            DataStore store(f->data, f->temp, ops);
            QVERIFY(store.open() && Change(store, kChanges[change]) &&
                    f->bytes() == kAfter[change]);
        }
    }

    // A start-up that fails while it restores an interrupted rewrite leaves the scratch
    // file for the next start-up: the records are never lost on the way.
    void recoveryUnderFaults()
    {
        for (const int err : {ENOSPC, EIO, EACCES}) {
            int failures = 0;
            for (int k = 1; k < 100; ++k) {
                tu::Folder g;
                QVERIFY(tu::WriteFile(g.tempPath, "a|b\r\nc|d\r\ne|f|20"));
                FaultOps ops;
                ops.failAt = k;
                ops.err = err;
                failures += !DataStore(g.data, g.temp, ops).open();
                QVERIFY(DataStore(g.data, g.temp).open()); // also shows the lock was let go
                QVERIFY(g.bytes() == "a|b\r\nc|d\r\n" && !g.scratch());
                if (ops.failed.empty())
                    break;
            }
            QVERIFY(failures > 3);
        }
    }

    void realFailures_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<int>("limit"); // a file size limit in bytes; 0: a read-only folder
        QTest::addColumn<bool>("fileWritable");
        QTest::newRow("replace in a read-only folder") << 1 << 0 << true;
        QTest::newRow("delete in a read-only folder") << 2 << 0 << true;
        QTest::newRow("append to a read-only file") << 0 << 0 << false;
        // Appending changes only the file, so the folder does not stand in its way.
        QTest::newRow("append to a writable file in a read-only folder") << 0 << 0 << true;
        // The limit cuts a write short part way, then refuses the rest, as a disk filling up.
        QTest::newRow("append beyond a size limit") << 0 << int(kBefore.size()) + 5 << true;
        QTest::newRow("replace beyond a size limit") << 1 << int(kAfter[1].size()) / 2 << true;
        QTest::newRow("delete beyond a size limit") << 2 << int(kAfter[2].size()) / 2 << true;
    }
    // Made by a child, which for a read-only folder first gives up root (who may write
    // anywhere).
    void realFailures()
    {
        QFETCH(int, change);
        QFETCH(int, limit);
        QFETCH(bool, fileWritable);
        QVERIFY(f->write(kBefore) && ::chmod(f->data.c_str(), fileWritable ? 0666 : 0444) == 0);
        QVERIFY(::chmod(f->dir.path().toLocal8Bit().constData(), limit ? 0755 : 0555) == 0);
        const QByteArray out = tu::InChild([&]() -> std::string {
            const struct rlimit rl = {rlim_t(limit), rlim_t(limit)};
            std::signal(SIGXFSZ, SIG_IGN);
            if (limit ? ::setrlimit(RLIMIT_FSIZE, &rl) != 0
                      : ::geteuid() == 0 &&
                            (::setgroups(0, nullptr) || ::setgid(65534) || ::setuid(65534)))
                return std::string("skip: ") + std::strerror(errno);
            DataStore store(f->data, f->temp);
            const Status st =
                store.open() ? Change(store, kChanges[change]) : Status::failure("open");
            return (st ? "ok " : "failed ") + st.message;
        });
        ::chmod(f->dir.path().toLocal8Bit().constData(), 0755);
        if (out.startsWith("skip: "))
            QSKIP(out.constData());
        const bool succeeds = change == 0 && fileWritable && limit == 0;
        QVERIFY2(out.startsWith(succeeds ? "ok" : "failed ") && !f->scratch(), out.constData());
        QVERIFY2(succeeds || (out.contains(std::strerror(limit ? EFBIG : EACCES)) &&
                              out.contains(f->data.c_str())),
                 out.constData());
        QCOMPARE(f->bytes(), succeeds ? kAfter[0] : kBefore);
    }

    // Kestrow killed at any moment: a child keeps changing the file (appends, replacements
    // including ones spread over several calls as the edit form makes them, deletions),
    // announcing each change before it starts and acknowledging it once the store reports it
    // done. Killed at random, each time the next start-up finds every acknowledged change,
    // the one under way whole or not at all, and only whole lines.
    void acknowledgedChangesSurviveKill()
    {
        std::vector<std::string> expected;
        for (long id = 1; id <= 5; ++id)
            expected.push_back(Record(id, unsigned(id * 1234)));
        QVERIFY(f->write(QByteArray::fromStdString(expected[0] + "\r\n" + expected[1] + "\r\n" +
                                                   expected[2] + "\r\n" + expected[3] + "\r\n" +
                                                   expected[4] + "\r\n")));
        const QRegularExpression wellFormed("^Rec \\d+\\|Sub\\|d\\|\\d+\\.\\d\\d\\|12$");
        std::mt19937 random(20260301); // a fixed start, so that a failure can be repeated
        int acknowledged = 0;
        for (int round = 0; round < 300; ++round) {
            const unsigned start = random();
            const struct timespec pause = {0,
                                           std::uniform_int_distribution<long>(0, 6000000)(random)};
            const auto [pid, out] =
                tu::Fork([&](int fd) { ChangeForever(*f, fd, start, (round + 1) * 1000000L); });
            char started = 0;
            QVERIFY(::read(out, &started, 1) == 1 && started == 'S');
            ::nanosleep(&pause, nullptr); // the kill falls among the changes, not the start
            ::kill(pid, SIGKILL);
            int status = 0;
            QVERIFY(::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status)); // no change refused
            std::string pending;
            for (const QByteArray& message : tu::ReadAll(out).split('\n')) {
                if (message == "K") {
                    Apply(pending, expected);
                    pending.clear();
                    ++acknowledged;
                } else if (message.size() > 1) {
                    pending = message.toStdString();
                }
            }
            std::vector<std::string> alternative = expected;
            if (!pending.empty())
                Apply(pending, alternative);
            DataStore next(f->data, f->temp);
            QVERIFY(next.open() && !f->scratch());
            const std::vector<std::string> lines = next.readLines();
            for (const std::string& line : lines)
                QVERIFY2(wellFormed.match(QString::fromStdString(line)).hasMatch(), line.c_str());
            // Every line ends with CR LF: no bare CR or LF is left inside a line.
            QCOMPARE(f->bytes().count("\r\n"), qsizetype(lines.size()));
            QVERIFY2(lines == expected || lines == alternative,
                     qPrintable(QStringLiteral("round %1").arg(round)));
            expected = lines;
        }
        QVERIFY(acknowledged > 0); // without one, the test would have proved nothing
    }
};

QTEST_GUILESS_MAIN(TestDataStore)
#include "tst_datastore.moc"
