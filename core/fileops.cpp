#include "core/fileops.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

int WriteAll(FileOps& ops, int fd, std::string_view bytes)
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

int ReadAll(FileOps& ops, int fd, std::string& out)
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

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

} // namespace kestrow
