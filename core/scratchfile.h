#pragma once
// Saving a file whole, so that neither a crash nor a full disk leaves it half written:
// the bytes go to a scratch file beside it, every write checked, and are flushed to disk;
// one rename then puts the scratch file in place of the file, and the folder is flushed so
// that the rename lasts. Until the rename the old file is untouched, and a failed save
// removes the scratch file again. The data file's rewrite (core/rewrite.h) and the exports
// both save this way.

#include "core/fileops.h"
#include "core/status.h"

#include <string>
#include <string_view>
#include <sys/stat.h>

namespace kestrow {

// The scratch file of one save, removed again unless it was put in place.
class ScratchFile
{
public:
    ScratchFile() = default;
    // Creates `scratch` for writing, to take the place of `target`. Whatever has the
    // scratch name (a leftover, or a link planted to make Kestrow write elsewhere) is
    // removed first, and the name is then taken only while it is free: O_EXCL never follows
    // a link. The new file gets the owner, group and permissions of `replaced` (the file it
    // replaces) when given; otherwise it is made as the umask allows.
    ScratchFile(FileOps& ops, std::string target, std::string scratch, const struct stat* replaced);
    ScratchFile(ScratchFile&& other) noexcept;
    ScratchFile& operator=(ScratchFile&& other) noexcept;
    ~ScratchFile();

    // Created, and neither put in place nor abandoned.
    bool active() const { return ops_ != nullptr; }
    const std::string& path() const { return path_; }
    // The first step that failed, naming the file and the reason ("writing the scratch
    // file /home/ann/xyzzy.tmp failed: No space left on device"); empty while none has.
    const std::string& failure() const { return failure_; }

    // Writes every byte. After a failure nothing more is written.
    void write(std::string_view bytes);
    // Flushes the written bytes to disk and closes the file. False when this step or an
    // earlier one failed; the scratch file then stays until put in place or abandoned.
    bool finish();
    // Renames the finished scratch file over the target. False when it failed, or an
    // earlier step had; the scratch file is then removed.
    bool putInPlace();
    // Closes and removes the scratch file, unless it is in place.
    void abandon();

private:
    bool fail(const std::string& step, int err);

    FileOps* ops_ = nullptr;
    std::string target_;
    std::string path_;
    FileHandle file_;
    std::string failure_;
};

// The warning when a file is in place but its folder could not be flushed to disk, so
// that a power cut could still undo the rename: `what` names what was saved ("The change
// to /home/ann/Kestrow.txt").
std::string FolderNotFlushed(const std::string& what, const std::string& folder, int err);

// Saves `bytes` as the file `path` through a scratch file beside it. A symbolic link is
// followed, so that the link stays and the file it names gets the new bytes, which keep
// that file's owner and permissions. Done, done with a warning (the folder could not be
// flushed), or failed with the step and the reason; a failure leaves any old file at the
// path byte for byte and no scratch file behind.
Status SaveWholeFile(FileOps& ops, const std::string& path, std::string_view bytes);

} // namespace kestrow
