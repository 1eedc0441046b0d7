#include "core/datastore.h"

#include "core/notices.h"
#include "core/text.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrow {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Lines gather in memory and go to the scratch file in blocks of about this size.
constexpr std::size_t kFlushSize = 64 * 1024;

std::string reason(int err)
{
    return std::strerror(err);
}

bool hasLineBreak(std::string_view line)
{
    // Two searches for one byte each: find_first_of would try both at every byte.
    return line.find('\r') != line.npos || line.find('\n') != line.npos;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Returns 0 or the errno of the failed write. A short write (disk nearly full) is continued
// so that the next write reports the real reason.
int writeAll(FileOps& ops, int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ops.write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO; // no progress and no reason: do not loop for ever
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Reads the whole file from its first byte, whatever the handle's position. Returns 0 or
// the errno of the failed read. The bytes go straight into `out`, grown as needed from the
// size the file had when the read began.
int readAll(FileOps& ops, int fd, std::string& out)
{
    out.clear();
    struct stat st = {};
    if (ops.fstat(fd, &st) != 0)
        return errno;
    // One byte more than the file holds, so that the end is seen at once.
    out.resize(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == out.size())
            out.resize(out.size() * 2);
        const ssize_t n =
            ops.pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.resize(got);
            return errno;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return 0;
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

namespace {
constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

Fingerprint FingerprintOf(std::string_view bytes)
{
    Fingerprint fingerprint;
    fingerprint.add(bytes);
    return fingerprint;
}
} // namespace

// Four independent lanes of 8 bytes each, so that the multiplications overlap.
void Fingerprint::block(const unsigned char* bytes)
{
    for (int i = 0; i < 4; ++i) {
        std::uint64_t word;
        std::memcpy(&word, bytes + 8 * i, 8);
        lanes_[i] = std::rotl(lanes_[i] + word * kPrime2, 31) * kPrime1;
    }
}

void Fingerprint::add(std::string_view text)
{
    auto bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t size = text.size();
    length_ += size;
    if (tailSize_ > 0) {
        const std::size_t take = std::min(sizeof tail_ - tailSize_, size);
        std::memcpy(tail_ + tailSize_, bytes, take);
        tailSize_ += take;
        bytes += take;
        size -= take;
        if (tailSize_ < sizeof tail_)
            return;
        block(tail_);
        tailSize_ = 0;
    }
    for (; size >= sizeof tail_; bytes += sizeof tail_, size -= sizeof tail_)
        block(bytes);
    std::memcpy(tail_, bytes, size);
    tailSize_ = size;
}

std::uint64_t Fingerprint::value() const
{
    std::uint64_t h = std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) +
                      std::rotl(lanes_[3], 18);
    h ^= length_ * kPrime1;
    for (std::size_t i = 0; i < tailSize_; ++i)
        h = std::rotl(h ^ (tail_[i] * kPrime2), 11) * kPrime1;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

std::vector<std::string> SplitLines(std::string_view contents)
{
    std::vector<std::string> lines;
    ForEachLine(contents, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// ---------------------------------------------------------------------------------------
// Rewrite

Rewrite::Rewrite(DataStore* store, Status start) : start_(std::move(start))
{
    if (store != nullptr && start_.ok()) {
        store_ = store;
        store_->active_ = this;
    }
}

Rewrite::Rewrite(Rewrite&& other) noexcept
    : store_(other.store_), start_(std::move(other.start_)), lines_(std::move(other.lines_)),
      next_(other.next_), before_(std::move(other.before_)), after_(std::move(other.after_)),
      pending_(std::move(other.pending_)), written_(other.written_), error_(other.error_),
      lineBreak_(other.lineBreak_)
{
    other.store_ = nullptr;
    if (store_ != nullptr)
        store_->active_ = this;
}

Rewrite::~Rewrite()
{
    abandon();
}

void Rewrite::detach()
{
    if (store_ != nullptr)
        store_->active_ = nullptr;
    store_ = nullptr;
    pending_.clear();
}

void Rewrite::put(std::string_view line)
{
    if (error_ != 0)
        return;
    pending_.append(line);
    pending_.append(kLineEnd);
    if (pending_.size() >= kFlushSize)
        flush();
}

void Rewrite::putBytes(std::string_view bytes)
{
    if (error_ != 0)
        return;
    pending_.append(bytes);
    flush();
}

bool Rewrite::flush()
{
    if (store_ == nullptr || error_ != 0) {
        pending_.clear();
        return false;
    }
    written_.add(pending_);
    after_.append(pending_);
    error_ = writeAll(store_->ops_, store_->temp_.get(), pending_);
    pending_.clear();
    return error_ == 0;
}

std::optional<std::string> Rewrite::copyUntil(std::int32_t n)
{
    if (store_ == nullptr || n < 1)
        return std::nullopt;
    const auto target = static_cast<std::size_t>(n) - 1;
    if (target < next_)
        return std::nullopt;
    while (next_ < target && copyLine()) {
    }
    // The edit form and Pay wait for the user here; the lines before the record are on
    // their way to disk meanwhile, not held back until complete().
    flush();
    if (next_ < lines_.size())
        return lines_[next_++];
    return std::nullopt;
}

void Rewrite::writeLine(std::string_view line)
{
    if (store_ == nullptr)
        return;
    // An embedded line break would turn one record into two and shift every later
    // record number; complete() refuses the change instead.
    if (hasLineBreak(line)) {
        lineBreak_ = true;
        return;
    }
    put(line);
}

bool Rewrite::skipLine()
{
    if (store_ == nullptr || next_ >= lines_.size())
        return false;
    ++next_;
    return true;
}

bool Rewrite::copyLine()
{
    if (store_ == nullptr || next_ >= lines_.size())
        return false;
    put(lines_[next_++]);
    return true;
}

void Rewrite::copyRest()
{
    while (copyLine()) {
    }
}

Status Rewrite::complete()
{
    if (store_ == nullptr) {
        if (!start_.ok())
            return start_;
        return Status::failure("Kestrow could not save the change: it was already finished or "
                               "abandoned. The data file is unchanged.");
    }
    DataStore& store = *store_;
    FileOps& ops = store.ops_;
    const std::string& temp = store.tempFile_;
    auto fail = [&](const std::string& detail) {
        abandon();
        return Status::failure(store.saveFailure(detail));
    };

    flush();
    if (lineBreak_)
        return fail("the changed record contains a line break");
    if (error_ != 0)
        return fail("writing the scratch file " + temp + " failed: " + reason(error_));
    if (ops.fsync(store.temp_.get()) != 0)
        return fail("flushing the scratch file " + temp + " to disk failed: " + reason(errno));
    // The new read handle is opened before the rename, so that nothing can fail between
    // putting the new file in place and reading from it.
    FileHandle newRead(ops, ops.open(temp.c_str(), O_RDONLY | O_NOFOLLOW, 0));
    if (!newRead.isOpen())
        return fail("reading back the scratch file " + temp + " failed: " + reason(errno));
    struct stat written = {};
    if (ops.fstat(newRead.get(), &written) != 0)
        return fail("reading back the scratch file " + temp + " failed: " + reason(errno));
    if (store.temp_.close() != 0)
        return fail("closing the scratch file " + temp + " failed: " + reason(errno));
    // The user may have taken a while (the edit form, Pay's dialog): the file this rewrite
    // copied must still be the one at the path, or the rename would throw away a change
    // made outside Kestrow.
    if (Status checked = store.guard(); !checked) {
        abandon();
        return checked;
    }
    // One atomic step: a crash before it leaves the old file, after it the new one. The
    // data file is never deleted first.
    if (ops.rename(temp.c_str(), store.dataFile_.c_str()) != 0)
        return fail("replacing it with the scratch file " + temp + " failed: " + reason(errno));
    store.lastChange_ = DataStore::Change{std::move(before_), std::move(after_)};
    detach();
    store.read_ = std::move(newRead);
    // A rename keeps the file's size and modification time.
    store.remember(written, written_);
    if (ops.fsync(store.dir_.get()) != 0) {
        return Status::warning("The change to " + store.dataFile_ +
                               " is saved, but Kestrow could not flush the folder " +
                               store.folder_ + " to disk: " + reason(errno) +
                               ". A power cut now could undo it.");
    }
    return Status::success();
}

void Rewrite::abandon()
{
    if (store_ == nullptr)
        return;
    DataStore& store = *store_;
    store.temp_.reset();
    store.ops_.unlink(store.tempFile_.c_str());
    detach();
}

// ---------------------------------------------------------------------------------------
// DataStore

DataStore::DataStore(std::string dataFile, std::string tempFile, FileOps& ops)
    : dataFile_(std::move(dataFile)), tempFile_(std::move(tempFile)), folder_(folderOf(dataFile_)),
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
                               reason(errno) + ".");
    // The lock sits on the folder itself, so no lock file is left behind, and the kernel
    // releases it when Kestrow ends in any way.
    if (ops_.flock(dir.get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK)
            return Status::failure("Kestrow is already running with the data file " + dataFile_ +
                                   ". Close the other Kestrow window first.");
        return Status::failure("Kestrow could not make sure that no other Kestrow uses the "
                               "folder " +
                               folder_ + ": " + reason(err) + ".");
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
                                     reason(errno) + ".");
        } else if (ops_.fstat(file.get(), &st) != 0) {
            status = Status::failure("Kestrow could not open the data file " + dataFile_ + ": " +
                                     reason(errno) + ".");
        } else if (!S_ISREG(st.st_mode)) {
            // Anything but a plain file at the name (a pipe, a device) is not taken as data.
            status = Status::failure(notices::NotAPlainFile(dataFile_, st.st_mode));
        } else if (const int err = readAll(ops_, file.get(), contents); err != 0) {
            status = Status::failure("Kestrow could not read the data file " + dataFile_ + ": " +
                                     reason(err) + ".");
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
                               " to its data file: " + reason(err) + ".");
    }
    linkPath_ = dataFile_;
    dataFile_ = resolved;
    folder_ = folderOf(dataFile_);
    tempFile_ = (folder_ == "/" ? "" : folder_) + "/" + baseName(tempFile_);
    return Status::success();
}

Status DataStore::recover()
{
    struct stat dataSt = {};
    struct stat tempSt = {};
    const bool dataThere = ops_.lstat(dataFile_.c_str(), &dataSt) == 0;
    if (!dataThere && errno != ENOENT)
        return Status::failure("Kestrow could not look for the data file " + dataFile_ + ": " +
                               reason(errno) + ".");
    const bool tempThere = ops_.lstat(tempFile_.c_str(), &tempSt) == 0;
    if (!tempThere && errno != ENOENT)
        return Status::failure("Kestrow could not look for the scratch file " + tempFile_ + ": " +
                               reason(errno) + ".");
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
        return failed(reason(errno));
    const int fd = scratch.get();
    std::string contents;
    int err = readAll(ops_, fd, contents);
    // Every line is written with its line end, so a last line without one was cut off
    // mid-write and would be a damaged record.
    const auto lastEnd = contents.find_last_of("\r\n");
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
        return failed(reason(err));
    ops_.fsync(dir_.get()); // the restored file is in place either way
    const std::size_t records = SplitLines(std::string_view(contents).substr(0, keep)).size();
    recoveryNote_ = notices::RestoredFromScratch(dataFile_, tempFile_, records, cut);
    return Status::success();
}

// Whether a change can be put in place at all: the scratch file must be creatable beside
// the data file, and an added record needs the file itself to be writable. Tried for real
// (and undone), since permissions, read-only mounts and the superuser all decide it.
std::string DataStore::probeSaving()
{
    FileHandle file(ops_,
                    ops_.open(dataFile_.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOFOLLOW, 0));
    const int fileError = file.isOpen() ? 0 : errno;
    file.reset();
    FileHandle probe(ops_,
                     ops_.open(tempFile_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
    if (!probe.isOpen())
        return notices::CannotSaveInFolder(dataFile_, tempFile_, reason(errno), fileError == 0);
    probe.reset();
    ops_.unlink(tempFile_.c_str()); // one left behind is removed by the next rewrite
    if (fileError != 0)
        return notices::CannotAddToFile(dataFile_, reason(fileError));
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
    if (const int err = readAll(ops_, file.get(), contents); err != 0) {
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

std::string DataStore::rereadProblem()
{
    forget();
    FileHandle file(ops_, ops_.open(dataFile_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0));
    if (!file.isOpen())
        return reason(errno);
    struct stat st = {};
    if (ops_.fstat(file.get(), &st) != 0)
        return reason(errno);
    if (!S_ISREG(st.st_mode))
        return "it is " + notices::KindOf(st.st_mode) + ", not a plain file";
    std::string contents;
    if (const int err = readAll(ops_, file.get(), contents); err != 0)
        return reason(err);
    read_ = std::move(file);
    remember(st, FingerprintOf(contents));
    return {};
}

Status DataStore::reread()
{
    if (!isOpen())
        return Status::failure("Kestrow could not read the data file " + dataFile_ +
                               ": it is not open.");
    const std::string problem = rereadProblem();
    if (!problem.empty())
        return Status::failure("Kestrow could not read the data file " + dataFile_ + ": " +
                               problem + ".");
    return Status::success();
}

Status DataStore::refuseChanged()
{
    return Status::changed(notices::ChangedOutside(dataFile_, rereadProblem()));
}

Status DataStore::guard()
{
    int err = 0;
    switch (checkFile(err)) {
    case FileState::Unchanged:
    // Removed from outside: a rewrite puts back what Kestrow shows, with the change; an
    // added record starts a new file.
    case FileState::Missing:
        return Status::success();
    case FileState::Unknown:
        return Status::failure(
            saveFailure("checking whether it was changed outside Kestrow failed: " + reason(err)));
    case FileState::Changed:
        break;
    }
    return refuseChanged();
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
                               reason(err) + ".");
    if (!linkPath_.empty()) {
        FileHandle target(
            ops_, ops_.open(dataFile_.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOFOLLOW, 0));
        if (!target.isOpen() && errno != ENOENT)
            return Status::failure("Kestrow could not empty the data file " + dataFile_ + ": " +
                                   reason(errno) + ".");
        return Status::success();
    }
    if (ops_.unlink(dataFile_.c_str()) != 0 && errno != ENOENT)
        return Status::failure("Kestrow could not delete the data file " + dataFile_ + ": " +
                               reason(errno) + ".");
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
        err = readAll(ops_, read_.get(), contents);
    if (err != 0) {
        // What the windows show may be partial: no change may be based on it.
        forget();
        return Status::failure("Kestrow could not read the data file " + dataFile_ + ": " +
                               reason(err) + ".");
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

Status DataStore::append(std::string_view line)
{
    lastChange_.reset();
    if (!isOpen())
        return Status::failure(saveFailure("the data file is not open"));
    if (hasLineBreak(line))
        return Status::failure(saveFailure("the record contains a line break"));
    // The rewrite under way copies the file as it was when it began; its rename would
    // throw the appended line away.
    if (active_ != nullptr)
        return Status::failure(saveFailure("another change is still in progress"));
    if (Status checked = guard(); !checked)
        return checked;
    // Created again when it was removed behind Kestrow's back, so the record the user
    // has just typed is kept rather than refused.
    FileHandle file(ops_, ops_.open(dataFile_.c_str(),
                                    O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW, 0666));
    if (!file.isOpen())
        return Status::failure(saveFailure(reason(errno)));
    const int fd = file.get();
    struct stat st = {};
    if (ops_.fstat(fd, &st) != 0)
        return Status::failure(saveFailure(reason(errno)));
    // The file opened must be the one just checked, or a new empty one in the place of a
    // removed file; anything else came in between.
    const bool same = sameFile(st);
    if (!S_ISREG(st.st_mode) || (same ? st.st_size != seen_.size : st.st_size != 0))
        return refuseChanged();
    // A file created again is not the one the read handle holds: from now on Kestrow
    // reads the new one. It is opened before anything is written, so that once the
    // record is on disk nothing is left that could fail.
    FileHandle reread;
    if (!same) {
        reread = FileHandle(ops_, ops_.open(dataFile_.c_str(), O_RDONLY | O_NONBLOCK, 0));
        if (!reread.isOpen())
            return Status::failure(saveFailure(reason(errno)));
    }
    // The whole file as it was, for undo.
    std::string before;
    if (const int err = readAll(ops_, fd, before); err != 0)
        return Status::failure(saveFailure(reason(err)));
    std::string bytes;
    bytes.reserve(line.size() + 4);
    // A file edited elsewhere may end without a line end; the new record must not be
    // glued to its last line.
    if (!before.empty() && before.back() != '\r' && before.back() != '\n')
        bytes.append(kLineEnd);
    bytes.append(line);
    bytes.append(kLineEnd);

    int err = writeAll(ops_, fd, bytes);
    struct stat after = {};
    if (err == 0 && ops_.fstat(fd, &after) != 0)
        err = errno;
    if (err == 0 && ops_.fdatasync(fd) != 0)
        err = errno;
    if (err != 0) {
        // Cut back, so that a partly written line never becomes a record.
        if (ops_.ftruncate(fd, st.st_size) == 0 && ops_.fdatasync(fd) == 0)
            return Status::failure(saveFailure(reason(err)));
        forget();
        return Status::failure("Kestrow could not save the change to " + dataFile_ + ": " +
                               reason(err) +
                               ". Part of the new record may be left at the end of the file.");
    }
    if (reread.isOpen())
        read_ = std::move(reread);
    lastChange_ = Change{before, before + bytes};
    Fingerprint now = same ? seen_.fingerprint : Fingerprint();
    now.add(bytes);
    remember(after, now);
    return Status::success(); // the line is on disk already; a late close error changes nothing
}

Rewrite DataStore::beginRewrite()
{
    lastChange_.reset();
    if (!isOpen())
        return Rewrite(nullptr, Status::failure(saveFailure("the data file is not open")));
    if (active_ != nullptr)
        return Rewrite(nullptr,
                       Status::failure(saveFailure("another change is still in progress")));
    if (Status checked = guard(); !checked)
        return Rewrite(nullptr, std::move(checked));
    std::string contents;
    if (const int err = readAll(ops_, read_.get(), contents); err != 0)
        return Rewrite(nullptr, Status::failure(saveFailure("reading it failed: " + reason(err))));
    // The record numbers the user chose by are those of the bytes Kestrow last read.
    if (!seen_.known || FingerprintOf(contents).value() != seen_.fingerprint.value())
        return Rewrite(nullptr, refuseChanged());
    struct stat st = {};
    if (ops_.fstat(read_.get(), &st) != 0)
        return Rewrite(nullptr, Status::failure(saveFailure(reason(errno))));
    // Whatever sits at the scratch name (a leftover, or a link planted to make Kestrow
    // write elsewhere) is removed, and the scratch file is then created only if the name is
    // free: O_EXCL never follows a link.
    if (ops_.unlink(tempFile_.c_str()) != 0 && errno != ENOENT)
        return Rewrite(nullptr,
                       Status::failure(saveFailure("the old scratch file " + tempFile_ +
                                                   " could not be removed: " + reason(errno))));
    const mode_t mode = st.st_mode & 0777;
    FileHandle scratch(
        ops_, ops_.open(tempFile_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode));
    if (!scratch.isOpen())
        return Rewrite(nullptr,
                       Status::failure(saveFailure("the scratch file " + tempFile_ +
                                                   " could not be created: " + reason(errno))));
    const auto refuse = [&](const std::string& what, int err) {
        scratch.reset();
        ops_.unlink(tempFile_.c_str());
        return Rewrite(nullptr, Status::failure(saveFailure("the scratch file " + tempFile_ +
                                                            " could not be given the data "
                                                            "file's " +
                                                            what + ": " + reason(err))));
    };
    // The new file keeps the owner and group of the one it replaces, so that the people
    // the group was for keep their access. Only the superuser may give a file away; anyone
    // may pass it to a group they belong to, and where neither is allowed the file stays
    // the user's own.
    if (ops_.fchown(scratch.get(), st.st_uid, st.st_gid) != 0) {
        if (errno != EPERM)
            return refuse("owner", errno);
        static_cast<void>(ops_.fchown(scratch.get(), static_cast<uid_t>(-1), st.st_gid));
    }
    // The umask narrowed the mode given to open(), and a change of owner may clear bits;
    // the new file must carry the same bits as the file it replaces.
    if (ops_.fchmod(scratch.get(), mode) != 0)
        return refuse("permissions", errno);
    temp_ = std::move(scratch);
    Rewrite rewrite(this, Status::success());
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

Status DataStore::replaceContents(std::string_view expected, std::string_view contents)
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
    Status done = rewrite.complete();
    lastChange_.reset();
    return done;
}

Status DataStore::rewriteReplacing(std::int32_t recordNumber, std::string_view newLine)
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
    return rewrite.complete();
}

Status DataStore::rewriteDeleting(std::vector<std::int32_t> recordNumbers)
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
    return rewrite.complete();
}

} // namespace kestrow
