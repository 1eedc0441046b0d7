#include "core/datastore.h"

#include "core/notices.h"
#include "core/paths.h"
#include "core/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrow {

std::vector<std::string> SplitLines(std::string_view contents)
{
    std::vector<std::string> lines;
    ForEachLine(contents, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

DataStore::DataStore(std::string dataFile, std::string tempFile, FileOps& ops)
    : dataFile_(std::move(dataFile)), tempFile_(std::move(tempFile)), folder_(FolderOf(dataFile_)),
      ops_(ops)
{}

DataStore::~DataStore()
{
    close();
}

std::string DataStore::saveFailure(const std::string& detail) const
{
    return "Kestrow could not save the change to " + dataFile_ + ": " + detail +
           ". The data file is unchanged.";
}

Status DataStore::open()
{
    if (isOpen())
        return Status::success();
    recoveryNote_.clear();
    saveNote_.clear();
    if (Status linked = resolveLink(); !linked)
        return linked;
    FileHandle dir(ops_, ops_.open(folder_.c_str(), O_RDONLY | O_DIRECTORY, 0));
    if (!dir.isOpen())
        return Status::failure("Kestrow could not open the folder " + folder_ + ": " +
                               ErrnoText(errno) + ".");
    // The lock sits on the folder itself, so no lock file is left behind, and the kernel
    // releases it when Kestrow ends in any way.
    if (ops_.flock(dir.get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK)
            return Status::failure("Kestrow is already running with the data file " + dataFile_ +
                                   ". Close the other Kestrow window first.");
        return Status::failure("Kestrow could not make sure that no other Kestrow uses the "
                               "folder " +
                               folder_ + ": " + ErrnoText(err) + ".");
    }
    dir_ = std::move(dir);

    Status status = recover();
    if (status) {
        // Never waiting: a named pipe at the name would block a plain open for ever.
        FileHandle file(
            ops_, ops_.open(dataFile_.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW, 0666));
        struct stat st = {};
        std::string contents;
        if (!file.isOpen()) {
            status = Status::failure("Kestrow could not open the data file " + dataFile_ + ": " +
                                     ErrnoText(errno) + ".");
        } else if (ops_.fstat(file.get(), &st) != 0) {
            status = Status::failure("Kestrow could not open the data file " + dataFile_ + ": " +
                                     ErrnoText(errno) + ".");
        } else if (!S_ISREG(st.st_mode)) {
            // Anything but a plain file at the name (a pipe, a device) is not taken as data.
            status = Status::failure(notices::NotAPlainFile(dataFile_, st.st_mode));
        } else if (const int err = ReadAll(ops_, file.get(), contents); err != 0) {
            status = Status::failure("Kestrow could not read the data file " + dataFile_ + ": " +
                                     ErrnoText(err) + ".");
        } else {
            read_ = std::move(file);
            remember(st, FingerprintOf(contents));
            saveNote_ = probeSaving();
        }
    }
    if (!status)
        dir_.reset();
    return status;
}

// A data file that is a symbolic link (to a synced folder, say) is followed once, here:
// the scratch file goes beside the target, whose rename then replaces the target and
// leaves the link as it is. A link to nothing is refused rather than followed by the
// creation of a file wherever it points.
Status DataStore::resolveLink()
{
    struct stat st = {};
    if (ops_.lstat(dataFile_.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return Status::success(); // recover() reports a failed look
    char resolved[PATH_MAX];
    if (ops_.realpath(dataFile_.c_str(), resolved) == nullptr) {
        const int err = errno;
        if (err == ENOENT) {
            char target[PATH_MAX];
            const ssize_t n = ops_.readlink(dataFile_.c_str(), target, sizeof target);
            return Status::failure(notices::DanglingLink(
                dataFile_, n > 0 ? std::string(target, std::size_t(n)) : std::string("?")));
        }
        return Status::failure("Kestrow could not follow the symbolic link " + dataFile_ +
                               " to its data file: " + ErrnoText(err) + ".");
    }
    throughLink_ = true;
    dataFile_ = resolved;
    folder_ = FolderOf(dataFile_);
    tempFile_ = PathIn(folder_, FileNameOf(tempFile_));
    return Status::success();
}

Status DataStore::recover()
{
    struct stat dataSt = {};
    struct stat tempSt = {};
    const bool dataThere = ops_.lstat(dataFile_.c_str(), &dataSt) == 0;
    if (!dataThere && errno != ENOENT)
        return Status::failure("Kestrow could not look for the data file " + dataFile_ + ": " +
                               ErrnoText(errno) + ".");
    const bool tempThere = ops_.lstat(tempFile_.c_str(), &tempSt) == 0;
    if (!tempThere && errno != ENOENT)
        return Status::failure("Kestrow could not look for the scratch file " + tempFile_ + ": " +
                               ErrnoText(errno) + ".");
    if (!tempThere)
        return Status::success();
    if (dataThere || !S_ISREG(tempSt.st_mode)) {
        // A rewrite never removes the data file, so beside one the scratch file is an
        // unfinished copy. Anything that is not a plain file (a planted link) is never
        // taken as data. A removal that fails does no harm: the next rewrite tries again.
        if (!S_ISDIR(tempSt.st_mode))
            ops_.unlink(tempFile_.c_str());
        return Status::success();
    }
    return restoreScratch();
}

// The data file is missing and the scratch file is there. Kestrow's own rewrite never
// removes the data file, so it was removed from outside (or by an older program that
// deleted before renaming) while a change was being copied: the copy may stop anywhere.
Status DataStore::restoreScratch()
{
    const auto failed = [this](const std::string& detail) {
        return Status::failure("Kestrow found the data file " + dataFile_ +
                               " missing and could not restore it from the scratch file " +
                               tempFile_ + " of an interrupted change: " + detail +
                               ". Both files are as they were.");
    };
    FileHandle scratch(ops_, ops_.open(tempFile_.c_str(), O_RDWR | O_NOFOLLOW, 0));
    if (!scratch.isOpen())
        return failed(ErrnoText(errno));
    const int fd = scratch.get();
    std::string contents;
    int err = ReadAll(ops_, fd, contents);
    // Every line is written with its line end, so a last line without one was cut off
    // mid-write and would be a damaged record. A power cut before the copy was flushed may
    // also leave a hole in it, which reads as zero bytes: a line running into one could
    // read as a record with a changed name, so the copy ends before the first of them.
    const auto lastEnd = contents.find_last_of("\r\n", contents.find('\0'));
    const std::size_t keep = lastEnd == contents.npos ? 0 : lastEnd + 1;
    const bool cut = err == 0 && keep < contents.size();
    if (cut && ops_.ftruncate(fd, static_cast<off_t>(keep)) != 0)
        err = errno;
    if (err == 0 && ops_.fsync(fd) != 0)
        err = errno;
    if (scratch.close() != 0 && err == 0)
        err = errno;
    if (err == 0 && ops_.rename(tempFile_.c_str(), dataFile_.c_str()) != 0)
        err = errno;
    if (err != 0)
        return failed(ErrnoText(err));
    ops_.fsync(dir_.get()); // the restored file is in place either way
    const std::size_t records = SplitLines(std::string_view(contents).substr(0, keep)).size();
    recoveryNote_ = notices::RestoredFromScratch(dataFile_, tempFile_, records, cut);
    return Status::success();
}

// Whether a change can be put in place at all: every change, an added record included,
// needs the scratch file beside the data file. Tried for real (and undone), since
// permissions, read-only mounts and the superuser all decide it.
std::string DataStore::probeSaving()
{
    FileHandle probe(ops_,
                     ops_.open(tempFile_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
    if (!probe.isOpen())
        return notices::CannotSaveInFolder(dataFile_, tempFile_, ErrnoText(errno));
    probe.reset();
    ops_.unlink(tempFile_.c_str()); // one left behind is removed by the next rewrite
    return {};
}

void DataStore::remember(const struct stat& st, const Fingerprint& fingerprint)
{
    seen_.known = true;
    seen_.dev = st.st_dev;
    seen_.ino = st.st_ino;
    seen_.size = st.st_size;
    seen_.mtime = st.st_mtim;
    seen_.fingerprint = fingerprint;
}

bool DataStore::sameFile(const struct stat& st) const
{
    return st.st_dev == seen_.dev && st.st_ino == seen_.ino;
}

DataStore::FileState DataStore::checkFile(int& error)
{
    error = 0;
    struct stat now = {};
    if (ops_.lstat(dataFile_.c_str(), &now) != 0) {
        if (errno == ENOENT)
            return FileState::Missing;
        error = errno;
        return FileState::Unknown;
    }
    if (!seen_.known || !S_ISREG(now.st_mode) || now.st_size != seen_.size)
        return FileState::Changed;
    if (sameFile(now) && now.st_mtim.tv_sec == seen_.mtime.tv_sec &&
        now.st_mtim.tv_nsec == seen_.mtime.tv_nsec)
        return FileState::Unchanged;
    // Touched, or saved again (perhaps as a new file) with the same bytes: still the same
    // data, so nothing the user sees is out of date.
    FileHandle file(ops_, ops_.open(dataFile_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0));
    struct stat st = {};
    std::string contents;
    if (!file.isOpen() || ops_.fstat(file.get(), &st) != 0) {
        error = errno;
        return FileState::Unknown;
    }
    if (!S_ISREG(st.st_mode))
        return FileState::Changed;
    if (const int err = ReadAll(ops_, file.get(), contents); err != 0) {
        error = err;
        return FileState::Unknown;
    }
    if (FingerprintOf(contents).value() != seen_.fingerprint.value())
        return FileState::Changed;
    if (!sameFile(st) && active_ == nullptr)
        read_ = std::move(file); // later reads come from the file that is there now
    remember(st, seen_.fingerprint);
    return FileState::Unchanged;
}

std::string DataStore::rereadProblem(int create)
{
    forget();
    FileHandle file(
        ops_, ops_.open(dataFile_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | create, 0666));
    if (!file.isOpen())
        return ErrnoText(errno);
    struct stat st = {};
    if (ops_.fstat(file.get(), &st) != 0)
        return ErrnoText(errno);
    if (!S_ISREG(st.st_mode))
        return "it is " + notices::KindOf(st.st_mode) + ", not a plain file";
    std::string contents;
    if (const int err = ReadAll(ops_, file.get(), contents); err != 0)
        return ErrnoText(err);
    read_ = std::move(file);
    remember(st, FingerprintOf(contents));
    return {};
}

Status DataStore::refuseChanged()
{
    return Status::changed(notices::ChangedOutside(dataFile_, rereadProblem()));
}

Status DataStore::refuseRemoved() const
{
    return Status::removed(notices::RemovedOutside(dataFile_, true));
}

Status DataStore::guard(IfRemoved ifRemoved)
{
    int err = 0;
    switch (checkFile(err)) {
    case FileState::Unchanged:
        return Status::success();
    // Removed from outside: put back, from what Kestrow shows, only once the user has
    // agreed.
    case FileState::Missing:
        if (ifRemoved == IfRemoved::PutBack)
            return Status::success();
        return refuseRemoved();
    case FileState::Unknown:
        return Status::failure(saveFailure(
            "checking whether it was changed outside Kestrow failed: " + ErrnoText(err)));
    case FileState::Changed:
        break;
    }
    return refuseChanged();
}

Status DataStore::startEmpty()
{
    if (active_ != nullptr)
        active_->abandon();
    lastChange_.reset();
    // Someone may have put a file there meanwhile: it is read, as start-up would.
    const std::string problem = rereadProblem(O_CREAT);
    if (!problem.empty())
        return Status::failure("Kestrow could not create the data file " + dataFile_ +
                               " again: " + problem + ".");
    return Status::success();
}

Status DataStore::readAgain()
{
    // The rewrite under way copies the file it began with; its own check refuses it.
    if (active_ != nullptr)
        return Status::failure(saveFailure("another change is still in progress"));
    const std::string problem = rereadProblem();
    if (!problem.empty())
        return Status::failure(notices::NotReadAgain(dataFile_, problem));
    return Status::success();
}

void DataStore::close()
{
    if (active_ != nullptr)
        active_->abandon();
    read_.reset();
    dir_.reset();
}

Status DataStore::removeFile()
{
    // The user agreed to lose what Kestrow showed, not what someone else has put there.
    int err = 0;
    const FileState state = seen_.known ? checkFile(err) : FileState::Unchanged;
    close();
    forget();
    if (state == FileState::Changed)
        return Status::changed(notices::NotDeletedChangedOutside(dataFile_));
    if (state == FileState::Unknown)
        return Status::failure("Kestrow could not delete the data file " + dataFile_ + ": " +
                               ErrnoText(err) + ".");
    if (throughLink_) {
        FileHandle target(
            ops_, ops_.open(dataFile_.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOFOLLOW, 0));
        if (!target.isOpen() && errno != ENOENT)
            return Status::failure("Kestrow could not empty the data file " + dataFile_ + ": " +
                                   ErrnoText(errno) + ".");
        if (target.isOpen())
            static_cast<void>(ops_.fsync(target.get()));
        return Status::success();
    }
    if (ops_.unlink(dataFile_.c_str()) != 0 && errno != ENOENT)
        return Status::failure("Kestrow could not delete the data file " + dataFile_ + ": " +
                               ErrnoText(errno) + ".");
    // Flushed like every other change, or a power cut could bring back what the user has
    // just cleared. The file is gone either way, and Kestrow is ending: a failed flush is
    // not worth a message.
    FileHandle folder(ops_, ops_.open(folder_.c_str(), O_RDONLY | O_DIRECTORY, 0));
    if (folder.isOpen())
        static_cast<void>(ops_.fsync(folder.get()));
    return Status::success();
}

std::int64_t DataStore::length() const
{
    struct stat st = {};
    if (!read_.isOpen() || ops_.fstat(read_.get(), &st) != 0)
        return -1;
    return st.st_size;
}

Status DataStore::readLines(std::vector<std::string>& lines)
{
    std::string contents;
    const Status status = readContents(contents);
    lines = SplitLines(contents);
    return status;
}

Status DataStore::readContents(std::string& contents)
{
    contents.clear();
    if (!isOpen())
        return Status::failure("Kestrow could not read the data file " + dataFile_ +
                               ": it is not open.");
    // Looked at before reading: if the file changes meanwhile, what was read differs from
    // the fingerprint's file, and the next check finds out.
    struct stat st = {};
    int err = ops_.fstat(read_.get(), &st) != 0 ? errno : 0;
    if (err == 0)
        err = ReadAll(ops_, read_.get(), contents);
    if (err != 0) {
        // What the windows show may be partial: no change may be based on it.
        forget();
        return Status::failure("Kestrow could not read the data file " + dataFile_ + ": " +
                               ErrnoText(err) + ".");
    }
    remember(st, FingerprintOf(contents));
    return Status::success();
}

std::vector<std::string> DataStore::readLines()
{
    std::vector<std::string> lines;
    static_cast<void>(readLines(lines)); // the lines read so far are all a caller can use
    return lines;
}

namespace {

// What appending `line` adds to a file holding `before`. A file edited elsewhere may end
// without a line end; the new record must not be glued to its last line.
std::string Appended(std::string_view before, std::string_view line)
{
    std::string bytes;
    bytes.reserve(line.size() + 4);
    if (!before.empty() && before.back() != '\r' && before.back() != '\n')
        bytes.append(kLineEnd);
    bytes.append(line);
    bytes.append(kLineEnd);
    return bytes;
}

} // namespace

Status DataStore::append(std::string_view line, IfRemoved ifRemoved)
{
    lastChange_.reset();
    if (!isOpen())
        return Status::failure(saveFailure("the data file is not open"));
    if (HasLineBreak(line))
        return Status::failure(saveFailure("the record contains a line break"));
    // Written in place, a record cut by a power cut could read as another record
    // ("...|950.00|12" cut to "...|950.00|1"): the whole file goes through the rewrite,
    // which also finds out whether the file was removed outside Kestrow.
    Rewrite rewrite = beginRewrite();
    if (!rewrite.active())
        return rewrite.startStatus();
    rewrite.putBytes(rewrite.before_ + Appended(rewrite.before_, line));
    return rewrite.complete(ifRemoved);
}

Rewrite DataStore::beginRewrite()
{
    lastChange_.reset();
    if (!isOpen())
        return Rewrite(nullptr, Status::failure(saveFailure("the data file is not open")));
    if (active_ != nullptr)
        return Rewrite(nullptr,
                       Status::failure(saveFailure("another change is still in progress")));
    // A file removed from outside is asked about when the rewrite completes: the edit form
    // and Pay let the user make the change first.
    if (Status checked = guard(IfRemoved::PutBack); !checked)
        return Rewrite(nullptr, std::move(checked));
    // The new file takes this one's permissions and is then read: a file Kestrow may no
    // longer read (chmod 000) is told now, before Pay asks for an amount, not as a failure
    // to read back the scratch file.
    if (FileHandle probe(ops_, ops_.open(dataFile_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0));
        !probe.isOpen() && errno != ENOENT)
        return Rewrite(nullptr,
                       Status::failure(saveFailure("it cannot be read: " + ErrnoText(errno))));
    std::string contents;
    if (const int err = ReadAll(ops_, read_.get(), contents); err != 0)
        return Rewrite(nullptr,
                       Status::failure(saveFailure("reading it failed: " + ErrnoText(err))));
    // The record numbers the user chose by are those of the bytes Kestrow last read.
    if (!seen_.known || FingerprintOf(contents).value() != seen_.fingerprint.value())
        return Rewrite(nullptr, refuseChanged());
    struct stat st = {};
    if (ops_.fstat(read_.get(), &st) != 0)
        return Rewrite(nullptr, Status::failure(saveFailure(ErrnoText(errno))));
    ScratchFile scratch(ops_, dataFile_, tempFile_, &st);
    if (!scratch.active())
        return Rewrite(nullptr, Status::failure(saveFailure(scratch.failure())));
    Rewrite rewrite(this, Status::success());
    rewrite.scratch_ = std::move(scratch);
    rewrite.lines_ = SplitLines(contents);
    rewrite.before_ = std::move(contents);
    return rewrite;
}

std::optional<DataStore::Change> DataStore::takeLastChange()
{
    std::optional<Change> change = std::move(lastChange_);
    lastChange_.reset();
    return change;
}

Status DataStore::replaceContents(std::string_view expected, std::string_view contents,
                                  IfRemoved ifRemoved)
{
    Rewrite rewrite = beginRewrite();
    if (!rewrite.active())
        return rewrite.startStatus();
    // Kestrow has read the file again since it wrote `expected` (it was changed from
    // outside): putting `contents` back would throw that change away.
    if (rewrite.before_ != expected) {
        rewrite.abandon();
        return Status::changed(notices::ChangedOutside(dataFile_));
    }
    rewrite.putBytes(contents);
    Status done = rewrite.complete(ifRemoved);
    lastChange_.reset();
    return done;
}

Status DataStore::rewriteReplacing(std::int32_t recordNumber, std::string_view newLine,
                                   IfRemoved ifRemoved)
{
    Rewrite rewrite = beginRewrite();
    if (!rewrite.active())
        return rewrite.startStatus();
    if (!rewrite.copyUntil(recordNumber)) {
        rewrite.abandon();
        return Status::failure(
            saveFailure("it holds no record number " + std::to_string(recordNumber)));
    }
    rewrite.writeLine(newLine);
    rewrite.copyRest();
    return rewrite.complete(ifRemoved);
}

Status DataStore::rewriteDeleting(std::vector<std::int32_t> recordNumbers, IfRemoved ifRemoved)
{
    std::sort(recordNumbers.begin(), recordNumbers.end());
    recordNumbers.erase(std::unique(recordNumbers.begin(), recordNumbers.end()),
                        recordNumbers.end());
    if (recordNumbers.empty())
        return Status::success();
    Rewrite rewrite = beginRewrite();
    if (!rewrite.active())
        return rewrite.startStatus();
    const auto count = static_cast<std::int64_t>(rewrite.lines_.size());
    for (const std::int32_t n : {recordNumbers.front(), recordNumbers.back()}) {
        if (n < 1 || n > count) {
            rewrite.abandon();
            return Status::failure(saveFailure("it holds no record number " + std::to_string(n)));
        }
    }
    for (std::int32_t n = 1; n <= count; ++n) {
        if (std::binary_search(recordNumbers.begin(), recordNumbers.end(), n))
            rewrite.skipLine();
        else
            rewrite.copyLine();
    }
    return rewrite.complete(ifRemoved);
}

Status DataStore::rewriteAdding(const std::vector<std::string>& lines, IfRemoved ifRemoved)
{
    Rewrite rewrite = beginRewrite();
    if (!rewrite.active())
        return rewrite.startStatus();
    rewrite.copyRest();
    for (const std::string& line : lines)
        rewrite.writeLine(line);
    return rewrite.complete(ifRemoved);
}

} // namespace kestrow
