#include "core/rewrite.h"

#include "core/datastore.h"
#include "core/fileops.h"
#include "core/text.h"

#include <cerrno>
#include <fcntl.h>

namespace kestrow {

namespace {

// Lines gather in memory and go to the scratch file in blocks of about this size.
constexpr std::size_t kFlushSize = 64 * 1024;

} // namespace

Rewrite::Rewrite(DataStore* store, Status start) : start_(std::move(start))
{
    if (store != nullptr && start_.ok()) {
        store_ = store;
        store_->active_ = this;
    }
}

Rewrite::Rewrite(Rewrite&& other) noexcept
    : store_(other.store_), start_(std::move(other.start_)), scratch_(std::move(other.scratch_)),
      lines_(std::move(other.lines_)), next_(other.next_), before_(std::move(other.before_)),
      after_(std::move(other.after_)), pending_(std::move(other.pending_)),
      written_(other.written_), lineBreak_(other.lineBreak_)
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
    if (writeFailed())
        return;
    pending_.append(line);
    pending_.append(kLineEnd);
    if (pending_.size() >= kFlushSize)
        flush();
}

void Rewrite::putBytes(std::string_view bytes)
{
    if (writeFailed())
        return;
    pending_.append(bytes);
    flush();
}

bool Rewrite::flush()
{
    if (store_ == nullptr || writeFailed()) {
        pending_.clear();
        return false;
    }
    written_.add(pending_);
    after_.append(pending_);
    scratch_.write(pending_);
    pending_.clear();
    return !writeFailed();
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
    if (HasLineBreak(line)) {
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

Status Rewrite::complete(IfRemoved ifRemoved)
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

    // The user may have taken a while (the edit form, Pay's dialog): the file this rewrite
    // copied must still be the one at the path, or the rename would throw away a change
    // made outside Kestrow. A file removed meanwhile leaves the rewrite open, for the
    // window to ask whether to put it back.
    if (Status checked = store.guard(ifRemoved); !checked) {
        if (!checked.removedOutside())
            abandon();
        return checked;
    }
    flush();
    if (lineBreak_)
        return fail("the changed record contains a line break");
    if (!scratch_.finish())
        return fail(scratch_.failure());
    // The new read handle is opened before the rename, so that nothing can fail between
    // putting the new file in place and reading from it.
    FileHandle newRead(ops, ops.open(temp.c_str(), O_RDONLY | O_NOFOLLOW, 0));
    if (!newRead.isOpen())
        return fail("reading back the scratch file " + temp + " failed: " + ErrnoText(errno));
    struct stat written = {};
    if (ops.fstat(newRead.get(), &written) != 0)
        return fail("reading back the scratch file " + temp + " failed: " + ErrnoText(errno));
    if (!scratch_.putInPlace())
        return fail(scratch_.failure());
    store.lastChange_ = DataStore::Change{std::move(before_), std::move(after_)};
    detach();
    store.read_ = std::move(newRead);
    // A rename keeps the file's size and modification time.
    store.remember(written, written_);
    if (ops.fsync(store.dir_.get()) != 0)
        return Status::warning(
            FolderNotFlushed("The change to " + store.dataFile_, store.folder_, errno));
    return Status::success();
}

void Rewrite::abandon()
{
    if (store_ == nullptr)
        return;
    scratch_.abandon();
    detach();
}

} // namespace kestrow
