#include "core/fileops.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrow {

int FileOps::open(const char* path, int flags, mode_t mode)
{
    return ::open(path, flags | O_CLOEXEC, mode);
}
ssize_t FileOps::pread(int fd, void* buf, size_t count, off_t offset)
{
    return ::pread(fd, buf, count, offset);
}
ssize_t FileOps::write(int fd, const void* buf, size_t count)
{
    return ::write(fd, buf, count);
}
int FileOps::fstat(int fd, struct stat* st)
{
    return ::fstat(fd, st);
}
int FileOps::fchmod(int fd, mode_t mode)
{
    return ::fchmod(fd, mode);
}
int FileOps::fchown(int fd, uid_t owner, gid_t group)
{
    return ::fchown(fd, owner, group);
}
int FileOps::fsync(int fd)
{
    return ::fsync(fd);
}
int FileOps::fdatasync(int fd)
{
    return ::fdatasync(fd);
}
int FileOps::ftruncate(int fd, off_t length)
{
    return ::ftruncate(fd, length);
}
int FileOps::close(int fd)
{
    return ::close(fd);
}
int FileOps::rename(const char* from, const char* to)
{
    return ::rename(from, to);
}
int FileOps::unlink(const char* path)
{
    return ::unlink(path);
}
int FileOps::lstat(const char* path, struct stat* st)
{
    return ::lstat(path, st);
}
int FileOps::flock(int fd, int operation)
{
    return ::flock(fd, operation);
}

char* FileOps::realpath(const char* path, char* resolved)
{
    return ::realpath(path, resolved);
}
ssize_t FileOps::readlink(const char* path, char* buf, size_t size)
{
    return ::readlink(path, buf, size);
}

FileOps& FileOps::system()
{
    static FileOps ops;
    return ops;
}

} // namespace kestrow
