#include "core/scratchfile.h"

#include "core/paths.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <utility>

namespace kestrow {

ScratchFile::ScratchFile(FileOps& ops, std::string target, std::string scratch,
                         const struct stat* replaced)
    : ops_(&ops), target_(std::move(target)), path_(std::move(scratch))
{
    if (ops.unlink(path_.c_str()) != 0 && errno != ENOENT) {
        failure_ = "the old scratch file " + path_ + " could not be removed: " + ErrnoText(errno);
        ops_ = nullptr;
        return;
    }
    const mode_t mode = replaced != nullptr ? replaced->st_mode & 0777 : 0666;
    file_ =
        FileHandle(ops, ops.open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode));
    if (!file_.isOpen()) {
        failure_ = "the scratch file " + path_ + " could not be created: " + ErrnoText(errno);
        ops_ = nullptr;
        return;
    }
    if (replaced == nullptr)
        return;
    // The new file keeps the owner and group of the one it replaces, so that the people
    // the group was for keep their access. Only the superuser may give a file away; anyone
    // may pass it to a group they belong to, and where neither is allowed the file stays
    // the user's own.
    if (ops.fchown(file_.get(), replaced->st_uid, replaced->st_gid) != 0) {
        if (errno != EPERM) {
            fail("giving the scratch file " + path_ + " the owner of " + target_, errno);
            abandon();
            return;
        }
        static_cast<void>(ops.fchown(file_.get(), static_cast<uid_t>(-1), replaced->st_gid));
    }
    // The umask narrowed the mode given to open(), and a change of owner may clear bits;
    // the new file must carry the same bits as the file it replaces.
    if (ops.fchmod(file_.get(), mode) != 0) {
        fail("giving the scratch file " + path_ + " the permissions of " + target_, errno);
        abandon();
    }
}

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : ops_(std::exchange(other.ops_, nullptr)), target_(std::move(other.target_)),
      path_(std::move(other.path_)), file_(std::move(other.file_)),
      failure_(std::move(other.failure_))
{}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept
{
    if (this != &other) {
        abandon();
        ops_ = std::exchange(other.ops_, nullptr);
        target_ = std::move(other.target_);
        path_ = std::move(other.path_);
        file_ = std::move(other.file_);
        failure_ = std::move(other.failure_);
    }
    return *this;
}

ScratchFile::~ScratchFile()
{
    abandon();
}

bool ScratchFile::fail(const std::string& step, int err)
{
    if (failure_.empty())
        failure_ = step + " failed: " + ErrnoText(err);
    return false;
}

void ScratchFile::write(std::string_view bytes)
{
    if (!active() || !failure_.empty())
        return;
    if (const int err = WriteAll(*ops_, file_.get(), bytes); err != 0)
        fail("writing the scratch file " + path_, err);
}

bool ScratchFile::finish()
{
    if (!active() || !failure_.empty())
        return false;
    if (ops_->fsync(file_.get()) != 0)
        return fail("flushing the scratch file " + path_ + " to disk", errno);
    if (file_.close() != 0)
        return fail("closing the scratch file " + path_, errno);
    return true;
}

bool ScratchFile::putInPlace()
{
    if (!active() || !failure_.empty() || file_.isOpen()) {
        abandon();
        return false;
    }
    // One atomic step: a crash before it leaves the old file, after it the new one. The
    // old file is never deleted first.
    if (ops_->rename(path_.c_str(), target_.c_str()) != 0) {
        fail("replacing " + target_ + " with the scratch file " + path_, errno);
        abandon();
        return false;
    }
    ops_ = nullptr;
    return true;
}

void ScratchFile::abandon()
{
    if (!active())
        return;
    file_.reset();
    ops_->unlink(path_.c_str());
    ops_ = nullptr;
}

std::string FolderNotFlushed(const std::string& what, const std::string& folder, int err)
{
    return what + " is saved, but Kestrow could not flush the folder " + folder +
           " to disk: " + ErrnoText(err) + ". A power cut now could undo it.";
}

Status SaveWholeFile(FileOps& ops, const std::string& path, std::string_view bytes)
{
    // A path that cannot be resolved (no file there yet) is used as it was given.
    std::string target = path;
    char resolved[PATH_MAX];
    if (ops.realpath(path.c_str(), resolved) != nullptr)
        target = resolved;
    const std::string folder = FolderOf(target);
    // Opened first, so that once the new file is in place only the flush is left to fail.
    const FileHandle dir(ops, ops.open(folder.c_str(), O_RDONLY | O_DIRECTORY, 0));
    if (!dir.isOpen())
        return Status::failure("opening the folder " + folder + " failed: " + ErrnoText(errno));
    // An older file keeps its owner and permissions; not knowing them is a failure.
    struct stat old = {};
    const bool there = ops.lstat(target.c_str(), &old) == 0;
    if (!there && errno != ENOENT)
        return Status::failure("looking at " + target + " failed: " + ErrnoText(errno));
    const bool replacing = there && S_ISREG(old.st_mode);
    // Hidden, so that a file manager showing the folder does not flash it.
    ScratchFile scratch(ops, target, PathIn(folder, "." + FileNameOf(target) + ".kestrow.tmp"),
                        replacing ? &old : nullptr);
    scratch.write(bytes);
    if (!scratch.finish() || !scratch.putInPlace())
        return Status::failure(scratch.failure());
    if (ops.fsync(dir.get()) != 0)
        return Status::warning(FolderNotFlushed("The file " + target, folder, errno));
    return Status::success();
}

} // namespace kestrow
