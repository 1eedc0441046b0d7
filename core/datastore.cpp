#include "core/datastore.h"

#include <algorithm>
#include <cerrno>
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
    return line.find_first_of("\r\n") != line.npos;
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
// the errno of the failed read.
int readAll(FileOps& ops, int fd, std::string& out)
{
    out.clear();
    char buf[16 * 1024];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ops.pread(fd, buf, sizeof buf, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        out.append(buf, static_cast<std::size_t>(n));
        offset += n;
    }
}

} // namespace

std::vector<std::string> SplitLines(std::string_view contents)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < contents.size()) {
        const auto end = contents.find_first_of("\r\n", start);
        if (end == contents.npos) {
            lines.emplace_back(contents.substr(start));
            break;
        }
        lines.emplace_back(contents.substr(start, end - start));
        start = end + 1;
        if (contents[end] == '\r' && start < contents.size() && contents[start] == '\n')
            ++start;
    }
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
      next_(other.next_), pending_(std::move(other.pending_)), error_(other.error_),
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

bool Rewrite::flush()
{
    if (store_ == nullptr || error_ != 0) {
        pending_.clear();
        return false;
    }
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
    if (store.temp_.close() != 0)
        return fail("closing the scratch file " + temp + " failed: " + reason(errno));
    // One atomic step: a crash before it leaves the old file, after it the new one. The
    // data file is never deleted first.
    if (ops.rename(temp.c_str(), store.dataFile_.c_str()) != 0)
        return fail("replacing it with the scratch file " + temp + " failed: " + reason(errno));
    detach();
    store.read_ = std::move(newRead);
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
        FileHandle file(ops_, ops_.open(dataFile_.c_str(), O_RDONLY | O_CREAT, 0666));
        struct stat st = {};
        if (!file.isOpen()) {
            status = Status::failure("Kestrow could not open the data file " + dataFile_ + ": " +
                                     reason(errno) + ".");
        } else if (ops_.fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            // Anything but a plain file at the name (a device, say) is not taken as data.
            const std::string why = st.st_mode == 0 ? reason(errno) : "it is not a plain file";
            status = Status::failure("Kestrow could not open the data file " + dataFile_ + ": " +
                                     why + ".");
        } else {
            read_ = std::move(file);
        }
    }
    if (!status)
        dir_.reset();
    return status;
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

// The data file is missing and the scratch file is there: a rewrite that deleted the data
// file before renaming its scratch file was cut short between the two steps.
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
    recoveryNote_ = "Kestrow found the data file " + dataFile_ +
                    " missing after an interrupted change and restored it from the scratch "
                    "file " +
                    tempFile_ + ".";
    if (cut)
        recoveryNote_ += " Its last line was incomplete and has been left out.";
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
    close();
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

Status DataStore::readLines(std::vector<std::string>& lines) const
{
    lines.clear();
    if (!isOpen())
        return Status::failure("Kestrow could not read the data file " + dataFile_ +
                               ": it is not open.");
    std::string contents;
    const int err = readAll(ops_, read_.get(), contents);
    lines = SplitLines(contents);
    if (err != 0)
        return Status::failure("Kestrow could not read the data file " + dataFile_ + ": " +
                               reason(err) + ".");
    return Status::success();
}

std::vector<std::string> DataStore::readLines() const
{
    std::vector<std::string> lines;
    static_cast<void>(readLines(lines)); // the lines read so far are all a caller can use
    return lines;
}

Status DataStore::append(std::string_view line)
{
    if (!isOpen())
        return Status::failure(saveFailure("the data file is not open"));
    if (hasLineBreak(line))
        return Status::failure(saveFailure("the record contains a line break"));
    // The rewrite under way copies the file as it was when it began; its rename would
    // throw the appended line away.
    if (active_ != nullptr)
        return Status::failure(saveFailure("another change is still in progress"));
    // Created again when it was removed behind Kestrow's back, so the record the user
    // has just typed is kept rather than refused.
    FileHandle file(ops_, ops_.open(dataFile_.c_str(), O_RDWR | O_APPEND | O_CREAT, 0666));
    if (!file.isOpen())
        return Status::failure(saveFailure(reason(errno)));
    const int fd = file.get();
    struct stat st = {};
    if (ops_.fstat(fd, &st) != 0)
        return Status::failure(saveFailure(reason(errno)));
    // A file created again is not the one the read handle holds: from now on Kestrow
    // reads the new one. It is opened before anything is written, so that once the
    // record is on disk nothing is left that could fail.
    struct stat held = {};
    if (ops_.fstat(read_.get(), &held) != 0)
        return Status::failure(saveFailure(reason(errno)));
    FileHandle reread;
    if (held.st_ino != st.st_ino || held.st_dev != st.st_dev) {
        reread = FileHandle(ops_, ops_.open(dataFile_.c_str(), O_RDONLY, 0));
        if (!reread.isOpen())
            return Status::failure(saveFailure(reason(errno)));
    }
    std::string bytes;
    bytes.reserve(line.size() + 4);
    if (st.st_size > 0) {
        char last = 0;
        ssize_t n;
        do {
            n = ops_.pread(fd, &last, 1, st.st_size - 1);
        } while (n < 0 && errno == EINTR);
        if (n != 1)
            return Status::failure(saveFailure(reason(n < 0 ? errno : EIO)));
        // A file edited elsewhere may end without a line end; the new record must not be
        // glued to its last line.
        if (last != '\r' && last != '\n')
            bytes.append(kLineEnd);
    }
    bytes.append(line);
    bytes.append(kLineEnd);

    int err = writeAll(ops_, fd, bytes);
    if (err == 0 && ops_.fdatasync(fd) != 0)
        err = errno;
    if (err != 0) {
        // Cut back, so that a partly written line never becomes a record.
        if (ops_.ftruncate(fd, st.st_size) == 0 && ops_.fdatasync(fd) == 0)
            return Status::failure(saveFailure(reason(err)));
        return Status::failure("Kestrow could not save the change to " + dataFile_ + ": " +
                               reason(err) +
                               ". Part of the new record may be left at the end of the file.");
    }
    if (reread.isOpen())
        read_ = std::move(reread);
    return Status::success(); // the line is on disk already; a late close error changes nothing
}

Rewrite DataStore::beginRewrite()
{
    if (!isOpen())
        return Rewrite(nullptr, Status::failure(saveFailure("the data file is not open")));
    if (active_ != nullptr)
        return Rewrite(nullptr,
                       Status::failure(saveFailure("another change is still in progress")));
    std::string contents;
    if (const int err = readAll(ops_, read_.get(), contents); err != 0)
        return Rewrite(nullptr, Status::failure(saveFailure("reading it failed: " + reason(err))));
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
    // The umask narrowed the mode given to open(); the new file must carry the same bits
    // as the file it replaces.
    if (ops_.fchmod(scratch.get(), mode) != 0) {
        const int err = errno;
        scratch.reset();
        ops_.unlink(tempFile_.c_str());
        return Rewrite(nullptr, Status::failure(saveFailure("the scratch file " + tempFile_ +
                                                            " could not be given the data "
                                                            "file's permissions: " +
                                                            reason(err))));
    }
    temp_ = std::move(scratch);
    Rewrite rewrite(this, Status::success());
    rewrite.lines_ = SplitLines(contents);
    return rewrite;
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
