// Power cuts and failing calls: every state a cut could leave on disk while Kestrow makes a
// change, each started up from as the next run of Kestrow would; and every system call of the
// change failing in turn. A killed process is the cut between two operations, nothing lost.
//
// The disk is modelled as ext4 with data=ordered, a little more harshly than the crash-state
// studies: bytes not yet flushed by an fsync of their own file may be lost, kept, or kept up to
// any sector or byte (a lost write inside a file reads as zero bytes); a name made, renamed or
// removed may or may not have happened until the folder is flushed. So a scratch file renamed
// over the data file before its bytes were flushed could leave the data file empty.
#include "app/undohistory.h"
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
    enum Kind { Write, Truncate, SyncFile, Names, SyncFolder };
    Kind kind;
    int file = 0;
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

// The folder /m in memory behind the store's seam: the store reads the page cache, and
// every operation that reaches the disk is recorded. It can also fail one call, as a disk
// that breaks down part way through a change, or take short writes, as a nearly full one.
class ModelDisk : public FileOps
{
public:
    explicit ModelDisk(Disk disk) : now_(std::move(disk)), start_(now_)
    {
        for (const auto& file : now_.files)
            lastFile_ = std::max(lastFile_, file.first);
    }
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
        const bool writes = (flags & O_ACCMODE) != O_RDONLY;
        if (writes && (flags & O_TRUNC))
            record({Op::Truncate, file, 0, {}, {}});
        handles_[++lastHandle_] = {file, writes, (flags & O_APPEND) != 0, 0};
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
        if (!handle.writes)
            return fail(EBADF);
        if (writeLimit > 0)
            count = std::min(count, writeLimit);
        const std::size_t at = handle.append ? now_.files[handle.file].size() : handle.position;
        record({Op::Write, handle.file, at, std::string(static_cast<const char*>(buf), count), {}});
        handle.position = at + count;
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
        if (path == kFolder)
            return describe(0, st);
        return name == now_.names.end() ? fail(ENOENT) : describe(name->second, st);
    }
    int fsync(int fd) override
    {
        const int file = handles_.at(fd).file;
        if (fault(file == 0 ? "fsync folder" : "fsync"))
            return -1;
        record({file == 0 ? Op::SyncFolder : Op::SyncFile, file, 0, {}, {}});
        return 0;
    }
    int fdatasync(int fd) override { return fsync(fd); }
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
    // The model has no links: every path is already the file's own.
    char* realpath(const char* path, char* resolved) override
    {
        return std::strcpy(resolved, path);
    }

private:
    struct Handle
    {
        int file;
        bool writes;
        bool append;
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
    int lastFile_ = 0;
    int lastHandle_ = 2;
    int calls_ = 0;
};

// How much of an unsynced write or truncation a cut keeps: 0 loses it.
struct Loss
{
    std::size_t op;
    std::size_t kept;
};

// The disk after a cut that follows the first `cut` operations, with `losses` and the
// names operations `lostNames` lost.
Disk Replay(const Disk& start, const std::vector<Op>& log, std::size_t cut,
            const std::vector<Loss>& losses, const std::set<std::size_t>& lostNames)
{
    Disk disk = start;
    for (std::size_t i = 0; i < cut; ++i) {
        std::size_t kept = log[i].bytes.size();
        bool lost = lostNames.count(i) > 0;
        for (const Loss& loss : losses) {
            if (loss.op == i) {
                kept = loss.kept;
                lost = kept == 0;
            }
        }
        if (!lost)
            Apply(disk, log[i], kept);
    }
    return disk;
}

// Every disk a cut during the recorded change may leave goes to `check`, with whether the
// change was reported done by then, until one gives a problem. Returns that problem with
// the cut that led to it, empty when none did.
template <class Check>
std::string CheckCrashStates(const ModelDisk& model, bool everySector, Check check)
{
    const std::vector<Op>& log = model.log();
    std::mt19937 random(28);
    for (std::size_t cut = 0; cut <= log.size(); ++cut) {
        // What is not durable at the cut: backwards from it, each operation not followed
        // by an fsync of its file or, for names, of the folder.
        std::vector<std::size_t> unsyncedNames;
        std::vector<std::vector<Loss>> lossSets = {{}};
        std::vector<Loss> everyLoss;
        std::set<int> synced; // 0 for the folder
        for (std::size_t i = cut; i-- > 0;) {
            const Op& op = log[i];
            if (op.kind == Op::SyncFile || op.kind == Op::SyncFolder)
                synced.insert(op.file);
            else if (op.kind == Op::Names && synced.count(0) == 0)
                unsyncedNames.push_back(i);
            else if (op.kind != Op::Names && synced.count(op.file) == 0)
                everyLoss.push_back({i, 0});
        }
        // Each unsynced write lost, or kept up to a sector boundary (each one, or one
        // picked at random) or a byte picked at random; and all of them lost at once.
        for (const Loss& loss : everyLoss) {
            lossSets.push_back({loss});
            const Op& op = log[loss.op];
            std::vector<std::size_t> parts;
            for (std::size_t end = (op.at / 512 + 1) * 512; end < op.at + op.bytes.size();
                 end += 512)
                parts.push_back(end - op.at);
            if (!everySector && parts.size() > 1)
                parts = {parts[random() % parts.size()]};
            if (op.bytes.size() > 1)
                parts.push_back(1 + random() % (op.bytes.size() - 1));
            for (const std::size_t kept : parts)
                lossSets.push_back({{loss.op, kept}});
        }
        if (everyLoss.size() > 1)
            lossSets.push_back(everyLoss);
        for (unsigned mask = 0; mask < (1u << unsyncedNames.size()); ++mask) {
            std::set<std::size_t> lostNames;
            for (std::size_t b = 0; b < unsyncedNames.size(); ++b) {
                if (mask & (1u << b))
                    lostNames.insert(unsyncedNames[b]);
            }
            for (const std::vector<Loss>& losses : lossSets) {
                const std::string problem =
                    check(Replay(model.start(), log, cut, losses, lostNames), cut == log.size());
                if (problem.empty())
                    continue;
                std::string what = "cut after operation " + std::to_string(cut) + " of " +
                                   std::to_string(log.size()) + ", lost:";
                for (const std::size_t i : lostNames)
                    what += " operation " + std::to_string(i + 1) + " (names)";
                for (const Loss& loss : losses)
                    what += " operation " + std::to_string(loss.op + 1) + " but its first " +
                            std::to_string(loss.kept) + " bytes";
                return what + ": " + problem;
            }
        }
    }
    return {};
}

// What the next run of Kestrow finds wrong in the file at `path` on `disk`: nothing when it
// holds exactly the new bytes or, while the change was not yet `reported` done, the old ones,
// and the data file opens with no message but the recovery's. An export is read as it stands.
std::string StartUpProblem(Disk disk, const std::string& path, const std::string& old,
                           const std::string& after, bool reported)
{
    std::string read;
    std::string note;
    if (path == kData) {
        ModelDisk model(std::move(disk));
        DataStore store(kData, kTemp, model);
        const Status opened = store.open();
        const Status first = opened ? store.readContents(read) : opened;
        if (!first)
            return first.message;
        note = store.recoveryNote();
        const std::size_t kept = SplitLines(read).size();
        if (!note.empty() && note != notices::RestoredFromScratch(kData, kTemp, kept, true) &&
            note != notices::RestoredFromScratch(kData, kTemp, kept, false))
            return "start-up said: " + note;
        if (!store.saveNote().empty())
            return "start-up said: " + store.saveNote();
    } else {
        read = BytesAt(disk, path);
    }
    if (read == after || (read == old && !reported))
        return {};
    // With the data file removed outside Kestrow, a copy cut short is all there is of it:
    // start-up restores it, says so, and keeps its whole records, none cut or changed.
    const bool restoredPart = !note.empty() && old.empty() && after.rfind(read, 0) == 0 &&
                              (read.empty() || read.back() == '\n' || read.back() == '\r');
    if (restoredPart && !reported)
        return {};
    if (read == old)
        return "the change was reported done, and the old file was read";
    return "read " + std::to_string(read.size()) + " bytes, neither the old file nor the new";
}

std::string Records(int count, const QString& lineEnd)
{
    std::string bytes;
    for (int i = 1; i <= count; ++i) {
        bytes += "Payment " + std::to_string(i) + "|Sub|2026-0" + std::to_string(1 + i % 9) +
                 "-15|" + std::to_string(10 + i % 990) + ".50|" + std::to_string(1 + i % 24);
        // An LF file also lacks the end of its last line, as a file edited elsewhere may.
        if (lineEnd == "CR LF")
            bytes += "\r\n";
        else if (i < count)
            bytes += "\n";
    }
    return bytes;
}

// Pay, Step and the edit form's Accept as their windows make them: the rewrite stays open
// while the dialog or the form waits for the user, and over the question whether to put
// back a data file removed outside Kestrow, answered Yes.
Status ChangeRecord(DataStore& store, std::int32_t n, const QString& change)
{
    Rewrite rewrite = store.beginRewrite();
    if (!rewrite.active())
        return rewrite.startStatus();
    const std::optional<std::string> line = rewrite.copyUntil(n);
    if (!line)
        return Status::failure("no record " + std::to_string(n));
    std::string changed = JoinFields({"Edited", "SG", "2027-01-15", "1,000.00", "12"});
    if (change == "Step") {
        changed = SteppedLine(*line).value_or("");
    } else if (change.startsWith("Pay")) {
        const std::optional<PayTerms> terms = PayTermsOf(*line, "2026-06-15");
        const double extra = change == "Pay new amount" ? 100 : 0;
        changed = terms ? PaidLine(*line, *terms, terms->amount + extra) : "";
    }
    rewrite.writeLine(changed);
    rewrite.copyRest();
    Status done = rewrite.complete();
    if (done.removedOutside())
        done = rewrite.complete(IfRemoved::PutBack);
    return done;
}

const std::string kExport = "/m/Kestrow.ics";

// One change on the model disk, from a file of `records` payments. "Recovery" is start-up
// finding only the scratch file; "Export" saves a file other programs read.
class Scene
{
public:
    Scene(const QString& change, int records, const QString& lineEnd)
        : change_(change), records_(records), model(StartDisk(change, Records(records, lineEnd)))
    {}
    // Brings the store to the moment the change is made, and the disk to rest.
    bool prepare()
    {
        if (change_ != "Recovery" && change_ != "Export" && !store.open())
            return false;
        model.settle();
        if (change_ == "Pay after an outside delete" && model.unlink(kData.c_str()) != 0)
            return false;
        if (change_ == "Undo" || change_ == "Redo") {
            if (!ChangeRecord(store, middle(), "Pay"))
                return false;
            history.record(store, "Pay");
            if (change_ == "Redo" && !history.undo(store))
                return false;
        }
        model.settle();
        return true;
    }
    Status make()
    {
        if (change_ == "Add")
            return store.append("New payment|SG|2026-09-01|950.00|12");
        if (change_ == "Delete one")
            return store.rewriteDeleting({middle()});
        if (change_ == "Delete several")
            return store.rewriteDeleting({1, middle(), records_});
        if (change_ == "Undo")
            return history.undo(store);
        if (change_ == "Redo")
            return history.redo(store);
        if (change_ == "Exit") { // on the introduction screen, agreeing to clear the data
            store.close();
            return store.removeFile();
        }
        if (change_ == "Recovery")
            return store.open();
        if (change_ == "Export")
            return SaveWholeFile(model, kExport, Records(records_ + 1, "CR LF"));
        return ChangeRecord(store, middle(), change_);
    }
    const std::string& path() const { return change_ == "Export" ? kExport : kData; }
    std::string bytes() const { return BytesAt(model.now(), path()); }

private:
    static Disk StartDisk(const QString& change, const std::string& bytes)
    {
        Disk disk;
        disk.files[1] = bytes;
        if (change == "Recovery")
            disk.names[kTemp] = 1;
        else if (change == "Export")
            disk.names[kExport] = 1;
        else
            disk.names[kData] = 1;
        return disk;
    }
    std::int32_t middle() const { return (records_ + 1) / 2; }

    QString change_;
    std::int32_t records_;

public:
    ModelDisk model;
    DataStore store{kData, kTemp, model};
    UndoHistory history;
};

} // namespace

class TestCrashStates : public QObject
{
    Q_OBJECT

private slots:
    // Every state copies the whole file a few times: the memory is kept for the next one
    // rather than handed back to the system and faulted in again (ten times faster).
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
        for (const char* change :
             {"Pay", "Pay new amount", "Step", "Delete one", "Delete several", "Accept", "Add",
              "Undo", "Redo", "Exit", "Recovery", "Pay after an outside delete", "Export"}) {
            for (const int records : {1, 100, 10000}) {
                for (const char* lineEnd : {"CR LF", "LF"})
                    QTest::addRow("%s, %d, %s", change, records, lineEnd)
                        << QString(change) << records << QString(lineEnd);
            }
        }
    }
    // Each change is made once on the model and its operations recorded. Recovery cut short
    // runs again at the next start, so only its result is right.
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
                return StartUpProblem(std::move(cut), scene.path(), old, after, reported);
            });
        QVERIFY2(failure.empty(), failure.c_str());

        // Then each call of the change fails in turn, the first time none but with writes of
        // three bytes, continued. A failed change names the reason, leaves the files as they
        // were and goes through next time; once the new file is in place only a close, or the
        // folder's flush (with a warning), may fail. The calls do not depend on the size.
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
            // Exit ends Kestrow: the folder it cannot flush after the delete is not told.
            const bool folder = failed == "fsync folder" || (change == "Exit" && failed == "open");
            const bool warned = folder && change != "Exit";
            if (change == "Recovery") { // done or not, the next start-up restores the file
                const std::string next =
                    StartUpProblem(trial.model.now(), kData, after, after, true);
                QVERIFY2(next.empty(), where + ", then " + next.c_str());
            } else if (made) {
                QVERIFY2(failed.empty() || failed == "close" || folder, where);
                QVERIFY2(made.message.empty() != warned, where);
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
