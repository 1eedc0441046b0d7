#pragma once
// The narrow seam between the data file and the operating system. Every system call the
// store makes goes through FileOps, so tests can fail any single step of a change (disk
// full, I/O error, permission) and check that nothing was lost, or model the disk itself.

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace kestrow {

class FileOps
{
public:
    virtual ~FileOps() = default;

    // Each call behaves like the POSIX function of the same name: -1 and errno on failure.
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t pread(int fd, void* buf, size_t count, off_t offset);
    virtual ssize_t write(int fd, const void* buf, size_t count);
    virtual int fstat(int fd, struct stat* st);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int fsync(int fd);
    virtual int fdatasync(int fd);
    virtual int ftruncate(int fd, off_t length);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
    virtual int lstat(const char* path, struct stat* st);
    virtual int flock(int fd, int operation);
    // realpath() into a buffer of PATH_MAX bytes.
    virtual char* realpath(const char* path, char* resolved);
    virtual ssize_t readlink(const char* path, char* buf, size_t size);

    // The real system calls.
    static FileOps& system();
};

// One open descriptor, closed through its FileOps when the owner goes, so that no early
// return can leak it. Where the result of the close matters (the scratch file before its
// rename), close() is called explicitly and checked.
class FileHandle
{
public:
    FileHandle() = default;
    FileHandle(FileOps& ops, int fd) : ops_(&ops), fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : ops_(other.ops_), fd_(other.fd_) { other.fd_ = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            ops_ = other.ops_;
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { reset(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closes now: 0, or -1 with errno set by the failed close.
    int close()
    {
        if (fd_ < 0)
            return 0;
        const int fd = fd_;
        fd_ = -1;
        return ops_->close(fd);
    }
    // Closes, ignoring the result: nothing was written through the descriptor that a
    // failed close could lose.
    void reset() { static_cast<void>(close()); }

private:
    FileOps* ops_ = nullptr;
    int fd_ = -1;
};

// Writes every byte: 0, or the errno of the failed write. A short write (disk nearly full)
// is continued so that the next write reports the real reason.
int WriteAll(FileOps& ops, int fd, std::string_view bytes);
// Reads the whole file from its first byte, whatever the descriptor's position: 0, or the
// errno of the failed read. The bytes go straight into `out`, grown as needed from the size
// the file had when the read began.
int ReadAll(FileOps& ops, int fd, std::string& out);
// The system's text for an errno, "No space left on device".
std::string ErrnoText(int err);

} // namespace kestrow
