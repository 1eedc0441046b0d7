#pragma once
// The narrow seam between the data file and the operating system. Every system call the
// store makes goes through FileOps, so tests can fail any single step of an append or a
// rewrite (disk full, I/O error, permission) and check that nothing was lost.

#include <cstddef>
#include <sys/stat.h>
#include <sys/types.h>

namespace kestrow {

class FileOps
{
public:
    virtual ~FileOps() = default;

    // Each call behaves like the POSIX function of the same name: -1 and errno on failure.
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t read(int fd, void* buf, size_t count);
    virtual ssize_t pread(int fd, void* buf, size_t count, off_t offset);
    virtual ssize_t write(int fd, const void* buf, size_t count);
    virtual off_t lseek(int fd, off_t offset, int whence);
    virtual int fstat(int fd, struct stat* st);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fsync(int fd);
    virtual int fdatasync(int fd);
    virtual int ftruncate(int fd, off_t length);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
    virtual int lstat(const char* path, struct stat* st);
    virtual int flock(int fd, int operation);

    // The real system calls.
    static FileOps& system();
};

} // namespace kestrow
