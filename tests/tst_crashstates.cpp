// Every state a power cut could leave while Kestrow makes a change, started up from as the
// next run would; then each system call of the change failing in turn. The disk is ext4 with
// data=ordered, a little more harshly: bytes not yet flushed by their own fsync may be lost
// or cut anywhere, and a name made, renamed or removed may be lost until the folder's flush.
#include "core/datastore.h"
#include "core/notices.h"
#include "core/record.h"

#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <random>
#include <set>

using namespace kestrow;

namespace {

const std::string kFolder = "/m";
const std::string kData = "/m/Kestrow.txt";
const std::string kTemp = "/m/xyzzy.tmp";

// What is on disk: the file each name leads to, and each file's bytes.
struct Disk
{
    std::map<std::string, int> names;
    std::map<int, std::string> files;
};

// One operation of a change that reaches the disk.
struct Op
{
    enum Kind { Write, Truncate, Sync, Names };
    Kind kind;
    int file = 0;       // 0 for the folder
    std::size_t at = 0; // where a write starts; the size a truncation leaves
    std::string bytes;  // what a write writes
    std::vector<std::pair<std::string, int>> names; // name -> file, 0 for none
};

// Carries out `op` on `disk`, of a write only its first `kept` bytes.
void Apply(Disk& disk, const Op& op, std::size_t kept)
{
    if (op.kind == Op::Write) {
        std::string& bytes = disk.files[op.file];
        if (bytes.size() < op.at + kept)
            bytes.resize(op.at + kept, '\0');
        bytes.replace(op.at, kept, op.bytes, 0, kept);
    } else if (op.kind == Op::Truncate) {
        disk.files[op.file].resize(op.at, '\0');
    } else if (op.kind == Op::Names) {
        for (const auto& [name, file] : op.names) {
            if (file != 0)
                disk.names[name] = file;
            else
                disk.names.erase(name);
        }
    }
}

// The bytes of the file at `path`; none when it is missing (start-up then makes a data file).
std::string BytesAt(const Disk& disk, const std::string& path)
{
    const auto name = disk.names.find(path);
    return name == disk.names.end() ? std::string() : disk.files.at(name->second);
}

// The folder /m behind the store's seam: the store sees the page cache, and each operation
// that reaches the disk is logged. It can fail one call, as a disk breaking down part way
// through a change, or take short writes, as a nearly full one.
class ModelDisk : public FileOps
{
public:
    // Every disk holds file 1, the file the scene starts with.
    explicit ModelDisk(Disk disk)
        : now_(std::move(disk)), start_(now_), lastFile_(now_.files.rbegin()->first)
    {}
    // The change starts here: everything so far is durable.
    void settle()
    {
        start_ = now_;
        log_.clear();
    }
    const Disk& now() const { return now_; }
    const Disk& start() const { return start_; }
    const std::vector<Op>& log() const { return log_; }

    int failAt = 0;             // the number of the call that fails, counted from 1 once set
    std::string failed;         // the call that failed; "fsync folder" for the folder's flush
    std::size_t writeLimit = 0; // the most bytes one write takes; 0 for no limit

    int open(const char* path, int flags, mode_t) override
    {
        if (fault("open"))
            return -1;
        int file = 0; // the folder
        if (path != kFolder) {
            const auto name = now_.names.find(path);
            const bool exists = name != now_.names.end();
            if (!exists && !(flags & O_CREAT))
                return fail(ENOENT);
            if (exists && (flags & O_CREAT) && (flags & O_EXCL))
                return fail(EEXIST);
            file = exists ? name->second : ++lastFile_;
            if (!exists)
                record({Op::Names, 0, 0, {}, {{path, file}}});
        }
        handles_[++lastHandle_] = {file, 0};
        return lastHandle_;
    }
    ssize_t pread(int fd, void* buf, size_t count, off_t offset) override
    {
        if (fault("pread"))
            return -1;
        const std::string& bytes = now_.files[handles_.at(fd).file];
        const std::size_t from = std::min(bytes.size(), std::size_t(offset));
        const std::size_t n = std::min(count, bytes.size() - from);
        std::memcpy(buf, bytes.data() + from, n);
        return ssize_t(n);
    }
    ssize_t write(int fd, const void* buf, size_t count) override
    {
        if (fault("write"))
            return -1;
        Handle& handle = handles_.at(fd);
        if (writeLimit > 0)
            count = std::min(count, writeLimit);
        const std::string bytes(static_cast<const char*>(buf), count);
        record({Op::Write, handle.file, handle.position, bytes, {}});
        handle.position += count;
        return ssize_t(count);
    }
    int fstat(int fd, struct stat* st) override
    {
        if (fault("fstat"))
            return -1;
        return describe(handles_.at(fd).file, st);
    }
    int lstat(const char* path, struct stat* st) override
    {
        if (fault("lstat"))
            return -1;
        const auto name = now_.names.find(path);
        return name == now_.names.end() ? fail(ENOENT) : describe(name->second, st);
    }
    int fsync(int fd) override
    {
        const int file = handles_.at(fd).file;
        if (fault(file == 0 ? "fsync folder" : "fsync"))
            return -1;
        record({Op::Sync, file, 0, {}, {}});
        return 0;
    }
    int ftruncate(int fd, off_t length) override
    {
        if (fault("ftruncate"))
            return -1;
        record({Op::Truncate, handles_.at(fd).file, std::size_t(length), {}, {}});
        return 0;
    }
    // As on Linux, a failed close still lets the descriptor go.
    int close(int fd) override
    {
        if (handles_.erase(fd) == 0)
            return fail(EBADF);
        return fault("close") ? -1 : 0;
    }
    int rename(const char* from, const char* to) override
    {
        if (fault("rename"))
            return -1;
        const auto name = now_.names.find(from);
        if (name == now_.names.end())
            return fail(ENOENT);
        record({Op::Names, 0, 0, {}, {{to, name->second}, {from, 0}}});
        return 0;
    }
    int unlink(const char* path) override
    {
        if (fault("unlink"))
            return -1;
        if (now_.names.count(path) == 0)
            return fail(ENOENT);
        record({Op::Names, 0, 0, {}, {{path, 0}}});
        return 0;
    }
    int fchmod(int, mode_t) override { return fault("fchmod") ? -1 : 0; }
    int fchown(int, uid_t, gid_t) override { return fault("fchown") ? -1 : 0; }
    int flock(int, int) override { return fault("flock") ? -1 : 0; }

private:
    struct Handle
    {
        int file;
        std::size_t position;
    };
    static int fail(int err)
    {
        errno = err;
        return -1;
    }
    bool fault(const char* call)
    {
        if (failAt == 0 || ++calls_ != failAt)
            return false;
        failed = call;
        errno = EIO;
        return true;
    }
    void record(Op op)
    {
        Apply(now_, op, op.bytes.size());
        if (op.kind == Op::Write || op.kind == Op::Truncate)
            ++changes_[op.file];
        log_.push_back(std::move(op));
    }
    // The modification time is the number of changes, enough to tell one state from another.
    int describe(int file, struct stat* st)
    {
        *st = {};
        st->st_dev = 1;
        st->st_ino = ino_t(file + 1);
        st->st_mode = file == 0 ? S_IFDIR | 0755 : S_IFREG | 0644;
        st->st_size = file == 0 ? 0 : off_t(now_.files[file].size());
        st->st_mtim.tv_nsec = changes_[file];
        return 0;
    }

    Disk now_;
    Disk start_;
    std::vector<Op> log_;
    std::map<int, Handle> handles_;
    std::map<int, long> changes_;
    int lastFile_;
    int lastHandle_ = 2;
    int calls_ = 0;
};

// What a cut keeps of the operations it touches: the first bytes of a write, none of an
// operation lost whole. Operations not listed are kept whole.
using Losses = std::map<std::size_t, std::size_t>;

// The disk after a cut that follows the first `cut` operations.
Disk Replay(const Disk& start, const std::vector<Op>& log, std::size_t cut, const Losses& losses)
{
    Disk disk = start;
    for (std::size_t i = 0; i < cut; ++i) {
        const auto loss = losses.find(i);
        if (loss == losses.end())
            Apply(disk, log[i], log[i].bytes.size());
        else if (loss->second > 0)
            Apply(disk, log[i], loss->second);
    }
    return disk;
}

// What a cut after operation `cut` may lose of the files: each unsynced write or truncation
// lost, or kept up to a sector boundary (each one, or one at random) or a byte at random;
// and all of them at once.
std::vector<Losses> FileLosses(const std::vector<Op>& log, std::size_t cut, bool everySector,
                               std::mt19937& random)
{
    std::vector<Losses> sets = {{}};
    Losses everyLoss;
    std::set<int> synced;
    for (std::size_t i = cut; i-- > 0;) {
        const Op& op = log[i];
        if (op.kind == Op::Sync)
            synced.insert(op.file);
        else if ((op.kind == Op::Write || op.kind == Op::Truncate) && synced.count(op.file) == 0)
            everyLoss[i] = 0;
    }
    for (const auto& [i, none] : everyLoss) {
        sets.push_back({{i, none}});
        const Op& op = log[i];
        std::vector<std::size_t> parts;
        for (std::size_t end = (op.at / 512 + 1) * 512; end < op.at + op.bytes.size(); end += 512)
            parts.push_back(end - op.at);
        if (!everySector && parts.size() > 1)
            parts = {parts[random() % parts.size()]};
        if (op.bytes.size() > 1)
            parts.push_back(1 + random() % (op.bytes.size() - 1));
        for (const std::size_t kept : parts)
            sets.push_back({{i, kept}});
    }
    if (everyLoss.size() > 1)
        sets.push_back(everyLoss);
    return sets;
}

// Every disk a cut during the logged change may leave goes to `check`, with whether the
// change was reported done by then. Returns the first problem with the cut that led to it.
template <class Check>
std::string CheckCrashStates(const ModelDisk& model, bool everySector, Check check)
{
    const std::vector<Op>& log = model.log();
    std::mt19937 random(28);
    for (std::size_t cut = 0; cut <= log.size(); ++cut) {
        // Names made, renamed or removed since the folder's last flush may each be lost.
        std::vector<std::size_t> unsyncedNames;
        for (std::size_t i = cut; i-- > 0 && !(log[i].kind == Op::Sync && log[i].file == 0);) {
            if (log[i].kind == Op::Names)
                unsyncedNames.push_back(i);
        }
        const std::vector<Losses> fileLosses = FileLosses(log, cut, everySector, random);
        for (unsigned mask = 0; mask < (1u << unsyncedNames.size()); ++mask) {
            for (Losses losses : fileLosses) {
                for (std::size_t b = 0; b < unsyncedNames.size(); ++b) {
                    if (mask & (1u << b))
                        losses[unsyncedNames[b]] = 0;
                }
                const std::string problem =
                    check(Replay(model.start(), log, cut, losses), cut == log.size());
                if (problem.empty())
                    continue;
                std::string what =
                    "cut after operation " + std::to_string(cut) + "; operation:bytes kept";
                for (const auto& [i, kept] : losses)
                    what += " " + std::to_string(i + 1) + ":" + std::to_string(kept);
                return what + ": " + problem;
            }
        }
    }
    return {};
}

// What the next run of Kestrow finds wrong in the data file on `disk`: nothing when it holds
// exactly the new bytes or, while the change was not yet `reported` done, the old ones, and it
// opens with no message but the recovery's.
std::string StartUpProblem(Disk disk, const std::string& old, const std::string& after,
                           bool reported)
{
    ModelDisk model(std::move(disk));
    DataStore store(kData, kTemp, model);
    const Status opened = store.open();
    std::string read;
    const Status first = opened ? store.readContents(read) : opened;
    if (!first)
        return first.message;
    const std::string note = store.recoveryNote();
    const std::size_t kept = SplitLines(read).size();
    if (!note.empty() && note != notices::RestoredFromScratch(kData, kTemp, kept, true) &&
        note != notices::RestoredFromScratch(kData, kTemp, kept, false))
        return "start-up said: " + note;
    if (!store.saveNote().empty())
        return "start-up said: " + store.saveNote();
    if (read == after || (read == old && !reported))
        return {};
    if (read == old)
        return "the change was reported done, and the old file was read";
    return "read " + std::to_string(read.size()) + " bytes, neither the old file nor the new";
}

// `count` payments; an LF file also lacks the end of its last line, as one edited elsewhere may.
std::string Records(int count, const QString& lineEnd)
{
    std::string bytes;
    for (int i = 1; i <= count; ++i) {
        bytes += "Payment " + std::to_string(i) + "|Sub|2026-03-15|" + std::to_string(i) + ".50|12";
        if (lineEnd == "CR LF")
            bytes += "\r\n";
        else if (i < count)
            bytes += "\n";
    }
    return bytes;
}

// One change on the model disk. "Edit" is Pay, Step and Accept, the rewrite held open while a
// window waits; undo and redo put contents back as "Add" does; "Recovery" is start-up finding
// only the scratch file.
class Scene
{
public:
    Scene(const QString& change, int records, const QString& lineEnd)
        : change_(change), records_(records), model(StartDisk(change, Records(records, lineEnd)))
    {}
    // Brings the store to the moment of the change, and the disk to rest.
    bool prepare()
    {
        if (change_ != "Recovery" && !store.open())
            return false;
        model.settle();
        return true;
    }
    Status make()
    {
        if (change_ == "Add")
            return store.append("New payment|SG|2026-09-01|950.00|12");
        if (change_ == "Delete")
            return store.rewriteDeleting({1, middle(), records_});
        if (change_ == "Recovery")
            return store.open();
        return edit();
    }
    std::string bytes() const { return BytesAt(model.now(), kData); }

private:
    static Disk StartDisk(const QString& change, const std::string& bytes)
    {
        Disk disk;
        disk.files[1] = bytes;
        disk.names[change == "Recovery" ? kTemp : kData] = 1;
        return disk;
    }
    std::int32_t middle() const { return (records_ + 1) / 2; }
    Status edit()
    {
        Rewrite rewrite = store.beginRewrite();
        if (!rewrite.active())
            return rewrite.startStatus();
        if (!rewrite.copyUntil(middle()))
            return Status::failure("no record " + std::to_string(middle()));
        rewrite.writeLine("Edited|SG|2027-01-15|1,000.00|12");
        rewrite.copyRest();
        return rewrite.complete();
    }

    QString change_;
    std::int32_t records_;

public:
    ModelDisk model;
    DataStore store{kData, kTemp, model};
};

} // namespace

class TestCrashStates : public QObject
{
    Q_OBJECT

private slots:
    // Each state copies the whole file: keeping freed memory makes the run ten times faster.
    void initTestCase()
    {
        mallopt(M_MMAP_THRESHOLD, 64 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
    }

    void changes_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("lineEnd");
        for (const char* change : {"Edit", "Delete", "Add", "Recovery"}) {
            for (const int records : {1, 100, 10000}) {
                for (const char* lineEnd : {"CR LF", "LF"})
                    QTest::addRow("%s, %d, %s", change, records, lineEnd)
                        << QString(change) << records << QString(lineEnd);
            }
        }
    }
    // Recovery cut short runs again at the next start, so only its result is right.
    void changes()
    {
        QFETCH(QString, change);
        QFETCH(int, records);
        QFETCH(QString, lineEnd);
        Scene scene(change, records, lineEnd);
        QVERIFY(scene.prepare());
        std::string old = scene.bytes();
        const Status done = scene.make();
        QVERIFY2(done && done.message.empty(), done.message.c_str());
        const std::string after = scene.bytes();
        if (change == "Recovery")
            old = after;
        else
            QVERIFY(after != old);

        const bool everySector = qEnvironmentVariableIsSet("KESTROW_EVERY_SECTOR");
        const std::string failure =
            CheckCrashStates(scene.model, everySector, [&](Disk cut, bool reported) {
                return StartUpProblem(std::move(cut), old, after, reported);
            });
        QVERIFY2(failure.empty(), failure.c_str());

        // Then each call fails in turn; the first time none, but writes take three bytes at a
        // time. A failed change names the reason, leaves the files as they were and goes
        // through next time; once the new file is in place only a close, or the folder's
        // flush (with a warning), may fail. The calls do not depend on the size.
        if (records > 100)
            return;
        for (int k = 0;; ++k) {
            Scene trial(change, records, lineEnd);
            QVERIFY(trial.prepare());
            const Disk before = trial.model.now();
            trial.model.failAt = k;
            trial.model.writeLimit = k == 0 ? 3 : 0;
            const Status made = trial.make();
            trial.model.failAt = 0;
            const std::string& failed = trial.model.failed;
            if (k > 0 && failed.empty())
                break;
            const QByteArray where =
                QByteArray::number(k) + " " + failed.c_str() + ": " + made.message.c_str();
            const bool folder = failed == "fsync folder";
            if (change == "Recovery") { // done or not, the next start-up restores the file
                const std::string next = StartUpProblem(trial.model.now(), after, after, true);
                QVERIFY2(next.empty(), where + ", then " + next.c_str());
            } else if (made) {
                QVERIFY2(failed.empty() || failed == "close" || folder, where);
                QVERIFY2(made.message.empty() != folder, where);
                QVERIFY2(trial.bytes() == after, where);
            } else {
                QVERIFY2(where.contains("/m") && where.contains(ErrnoText(EIO)), where);
                QVERIFY2(trial.model.now().names == before.names && trial.bytes() == old, where);
                QVERIFY2(trial.make(), where + ", then not again");
                QVERIFY2(trial.bytes() == after, where + ", then not again");
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCrashStates)
#include "tst_crashstates.moc"
