// The data file: appending, rewriting through the scratch file, the lock, start-up recovery,
// planted links and permissions; every system call failing in turn; Kestrow killed.
#include "testutil.h"

#include <csignal>
#include <fcntl.h>
#include <random>

using namespace kestrow;

namespace {

QByteArray Joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "/";
    return QByteArray::fromStdString(out);
}
mode_t Mode(const std::string& path) // 0: nothing there, not even a dangling link
{
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
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
#define PASS(t, n, p, a)                                                                           \
    t n p override                                                                                 \
    {                                                                                              \
        return fault(#n) ? -1 : FileOps::n a;                                                      \
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
const QByteArray kBefore = "Rent|Sub|d|900|1\r\nGym|Mem|d|30|1\nCar|Sub|d|5|1";
const QByteArray kChanges[] = {"append New|SG|d|.5|3", "replace 2 Gym|M|d|35|1", "delete 3,1"};
const QByteArray kAfter[] = {kBefore + "\r\nNew|SG|d|.5|3\r\n",
                             "Rent|Sub|d|900|1\r\nGym|M|d|35|1\r\nCar|Sub|d|5|1\r\n",
                             "Gym|Mem|d|30|1\r\n"};

// A Kestrow that keeps changing the file and never returns: "P" and the lines as they will
// be before each change, "K" once it is done; each one write below PIPE_BUF, never torn.
[[noreturn]] void ChangeForever(const tu::Folder& f, int fd, unsigned start, long id)
{
    ::fcntl(fd, F_SETPIPE_SZ, 1 << 20); // room for every message without blocking
    const auto say = [fd](const QByteArray& text) {
        [[maybe_unused]] auto n = ::write(fd, text.constData(), std::size_t(text.size()));
    };
    DataStore store(f.data, f.temp);
    std::vector<std::string> lines = store.open() ? store.readLines() : std::vector<std::string>();
    say("S\n");
    for (std::mt19937 random(start); !lines.empty(); ++id) {
        const unsigned choice = random() % 10, n = random() % lines.size();
        const std::string line =
            "Rec " + std::to_string(id) + "|Sub|d|" + std::to_string(choice) + "|12";
        std::vector<std::string> after = lines;
        Status done;
        if (lines.size() < 4 || (choice < 4 && lines.size() < 40)) {
            after.push_back(line);
            say("P " + Joined(after) + "\n");
            done = store.append(line);
        } else if (choice < 8) {
            after[n] = line;
            say("P " + Joined(after) + "\n");
            done = store.rewriteReplacing(std::int32_t(n + 1), line);
        } else {
            after.erase(after.begin() + n);
            say("P " + Joined(after) + "\n");
            done = store.rewriteDeleting({std::int32_t(n + 1)});
        }
        lines = done ? after : std::vector<std::string>();
        say("K\n");
    }
    ::_exit(2); // the store refused a change
}

} // namespace

class TestDataStore : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Folder> f;
    std::unique_ptr<DataStore> store;
    DataStore& open(const QByteArray& contents) // a store on a data file holding `contents`
    {
        store.reset();
        if (!f->write(contents) || !(store = std::make_unique<DataStore>(f->data, f->temp))->open())
            qFatal("cannot open %s", f->data.c_str());
        return *store;
    }

private slots:
    void init() { f = std::make_unique<tu::Folder>(); }
    void cleanup() { store.reset(); }

    void changes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* change, const QByteArray& before, const QByteArray& after) {
            QTest::newRow(change) << before << after;
        };
        row("append G", "", "G\r\n");
        row("append H", "a", "a\r\nH\r\n"); // a last line without its end gets one
        row("append I", QByteArray("x\0\xff\r\n\r", 6), QByteArray("x\0\xff\r\n\rI\r\n", 9));
        row("replace 1 A", "a\nb\rc", "A\r\nb\r\nc\r\n");
        row("replace 2 y\xc3\xa9", "a|b|c|d|e|f\r\nx\r\nz", "a|b|c|d|e|f\r\ny\xc3\xa9\r\nz\r\n");
        row("delete 1", "a\r\nb\r\nc", "b\r\nc\r\n");
        row("delete 4,2,4,2", "a\nb\nc\nd\ne", "a\r\nc\r\ne\r\n");
        row("delete 2,1", "a\r\nb\r\n", "");
    }
    // The read handle follows the new file, which keeps the old permissions, umask aside.
    void changes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        DataStore& store = open(before);
        const mode_t old = ::umask(027);
        QVERIFY(::chmod(f->data.c_str(), 0664) == 0);
        const Status st = Change(store, QTest::currentDataTag());
        ::umask(old);
        QVERIFY2(st && st.message.empty() && !f->scratch(), st.message.c_str());
        QCOMPARE(f->bytes(), after);
        QCOMPARE(Mode(f->data) & 07777, 0664u);
        QCOMPARE(Joined(store.readLines()),
                 tu::Lines(after).join('/') + (after.isEmpty() ? "" : "/"));
    }

    void refusedChanges_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::newRow("replace 4 x") << "no record number 4";
        QTest::newRow("replace 0 x") << "no record number 0";
        QTest::newRow("delete 1,4") << "no record number 4";
        for (const char* change : {"append A\r\nX", "append A\rB", "replace 1 x\ny"})
            QTest::newRow(change) << "line break";
    }
    void refusedChanges()
    {
        QFETCH(QString, reason);
        DataStore& store = open("a\r\nb\nc");
        const QString message =
            QString::fromStdString(Change(store, QTest::currentDataTag()).message);
        QVERIFY2(message.contains(reason) && message.contains(f->dataPath), qPrintable(message));
        QVERIFY(f->bytes() == "a\r\nb\nc" && !f->scratch() && store.rewriteReplacing(1, "A"));
    }

    // While the edit form or Pay holds a rewrite open, the file is untouched and other
    // changes are refused: an appended line would be lost when the rewrite completed.
    void rewriteSpreadOverAWindow()
    {
        DataStore& store = open("a\nb\r\nc\rd");
        Rewrite rewrite = store.beginRewrite();
        QCOMPARE(rewrite.copyUntil(3).value_or("-"), std::string("c"));
        QCOMPARE(tu::ReadFile(f->tempPath) + f->bytes(), "a\r\nb\r\na\nb\r\nc\rd");
        QVERIFY(!store.beginRewrite().complete() && !store.rewriteDeleting({1}) &&
                !store.append("e"));
        rewrite.writeLine("C");
        rewrite.copyRest();
        QVERIFY(rewrite.complete() && !rewrite.complete() && f->bytes() == "a\r\nb\r\nC\r\nd\r\n");
    }

    // A new file is made as the umask allows; a second Kestrow waits for the first. A scratch
    // file alone is an interrupted rewrite, put in place (less a cut last line) and told.
    void opening()
    {
        DataStore first(f->data, f->temp), second(f->data, f->temp);
        const mode_t old = ::umask(022);
        QVERIFY(first.open() && f->bytes().isEmpty());
        ::umask(old);
        const QString refused = QString::fromStdString(second.open().message);
        QVERIFY(refused.contains("already running") && refused.contains(f->dataPath));
        QCOMPARE(Mode(f->data) & 0777, 0644u);
        first.close();
        QVERIFY(second.open());
        const QByteArray none = "-", cases[][3] = {{none, "a\r\nb\r\nc|Su", "a\r\nb\r\n"},
                                                   {none, "c|Su", ""},
                                                   {"a", "x\r\n", "a"},
                                                   {none, none, ""}};
        for (const auto& [data, scratch, expected] : cases) {
            tu::Folder g;
            QVERIFY((data == none || g.write(data)) &&
                    (scratch == none || tu::WriteFile(g.tempPath, scratch)));
            DataStore store(g.data, g.temp);
            QVERIFY(store.open() && g.bytes() == expected && !g.scratch());
            QCOMPARE(store.recoveryNote().find(g.data) != std::string::npos,
                     data == none && scratch != none);
        }
    }

    // A link at the scratch name, at start-up or planted later, is never read nor written.
    void plantedLinks()
    {
        const std::string victim = f->dir.filePath("victim").toStdString();
        QVERIFY(tu::WriteFile(f->dir.filePath("victim"), "secret"));
        QCOMPARE(::symlink(victim.c_str(), f->temp.c_str()), 0);
        DataStore& store = open("a\r\nb\r\nc\r\n");
        QVERIFY(store.recoveryNote().empty() && Mode(f->temp) == 0);
        QCOMPARE(::symlink((victim + "x").c_str(), f->temp.c_str()), 0); // where none is yet
        QVERIFY(store.rewriteDeleting({1}) && Mode(f->temp) == 0);
        QCOMPARE(f->bytes() + tu::ReadFile(f->dir.filePath("victim")), "b\r\nc\r\nsecret");
        QVERIFY(!QFile::exists(f->dir.filePath("victimx")));
    }

    void failures_data()
    {
        QTest::addColumn<int>("change"); // 3: start-up restoring an interrupted rewrite
        QTest::addColumn<QString>("fault");
        const char* const names[] = {"append", "replace", "delete", "open"};
        for (int change = 0; change < 4; ++change)
            for (const char* err : {"ENOSPC", "EIO", "EACCES"})
                QTest::addRow("%s, %s", names[change], err) << change << QString(err);
    }
    // The calls fail one by one (the first time with writes of three bytes, continued). A
    // failed change leaves the file byte for byte, names file and reason, and goes through
    // next time; a close after the data is on disk, or the folder's flush (with a warning),
    // may fail. A failed recovery keeps the scratch file for the next start-up.
    void failures()
    {
        QFETCH(int, change);
        QFETCH(QString, fault);
        const int err = fault == "EIO" ? EIO : fault == "ENOSPC" ? ENOSPC : EACCES;
        int failures = 0;
        for (int k = 0; k < 200; ++k) {
            FaultOps ops;
            ops.writeLimit = k == 0 ? 3 : 0;
            ops.err = err;
            if (change == 3) {
                tu::Folder g;
                QVERIFY(tu::WriteFile(g.tempPath, "a|b\r\nc|d\r\ne|f|20"));
                ops.failAt = k;
                failures += !DataStore(g.data, g.temp, ops).open();
                QVERIFY(DataStore(g.data, g.temp).open()); // also shows the lock was let go
                QVERIFY(g.bytes() == "a|b\r\nc|d\r\n" && !g.scratch());
            } else {
                QVERIFY(f->write(kBefore));
                DataStore store(f->data, f->temp, ops);
                QVERIFY(store.open());
                ops.failAt = k;
                const Status st = Change(store, kChanges[change]);
                ops.failAt = 0;
                const QByteArray where =
                    QByteArray::number(k) + " " + ops.failed.c_str() + ": " + st.message.c_str();
                const bool warned = ops.failed == "fsync folder", spared = ops.failed == "close";
                failures += !st;
                QVERIFY2(!f->scratch() &&
                             (st ? (ops.failed.empty() || spared || warned) &&
                                       st.message.empty() != warned
                                 : where.contains(f->data + ": ") &&
                                       where.contains(std::strerror(err)) &&
                                       f->bytes() == kBefore && Change(store, kChanges[change])),
                         where);
                QVERIFY(f->bytes() == kAfter[change] && store.length() == kAfter[change].size());
            }
            if (k > 0 && ops.failed.empty())
                break;
        }
        QVERIFY(failures > 3);
    }

    // Killed 300 times (fixed random start): each acknowledged change is found, the one under
    // way whole or not at all, each line ended by CR LF.
    void acknowledgedChangesSurviveKill()
    {
        QVERIFY(f->write("Rec 1|Sub|d|1|12\r\nRec 2|Sub|d|2|12\r\nRec 3|Sub|d|3|12\r\n"));
        QByteArray expected = "Rec 1|Sub|d|1|12/Rec 2|Sub|d|2|12/Rec 3|Sub|d|3|12/";
        std::mt19937 random(20260301);
        int acknowledged = 0;
        for (int round = 0; round < 300; ++round) {
            const unsigned start = random();
            const timespec pause = {0, std::uniform_int_distribution<long>(0, 6000000)(random)};
            const auto [pid, out] =
                tu::Fork([&](int fd) { ChangeForever(*f, fd, start, round * 1000L + 10); });
            char started[2] = {};
            const bool began = tu::Readable(out, 10000) && ::read(out, started, 2) == 2;
            ::nanosleep(&pause, nullptr); // the kill falls among the changes, not the start
            ::kill(pid, SIGKILL);
            int status = 0;
            QVERIFY(::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status)); // none refused
            QVERIFY(began && started[0] == 'S');
            QByteArray pending = expected;
            for (const QByteArray& message : tu::ReadAll(out).split('\n')) {
                acknowledged += message == "K";
                expected = message == "K" ? pending : expected;
                pending = message.startsWith("P ") ? message.mid(2) : pending;
            }
            DataStore next(f->data, f->temp);
            QVERIFY(next.open() && !f->scratch());
            const QByteArray lines = Joined(next.readLines());
            QCOMPARE(f->bytes().count("\r\n"), lines.count('/'));
            QVERIFY2(lines == expected || lines == pending, qPrintable(QString::number(round)));
            expected = lines;
        }
        QVERIFY(acknowledged > 0); // without one, the test would have proved nothing
    }
};

QTEST_GUILESS_MAIN(TestDataStore)
#include "tst_datastore.moc"
