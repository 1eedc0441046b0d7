#pragma once
// File helpers shared by the data file tests. They use plain system calls, never the store,
// so that what they report about the files does not depend on the code under test.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace storetest {

inline std::string bytes(const QByteArray& b)
{
    return std::string(b.constData(), b.size());
}
inline QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// Present in any form, a dangling link included.
inline bool present(const std::string& path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0;
}

inline QByteArray readFile(const std::string& path)
{
    QByteArray out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray("<missing>");
    char buf[8192];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(fd);
    return out;
}

inline bool writeFile(const std::string& path, const QByteArray& contents, mode_t mode = 0644)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    const bool ok =
        ::write(fd, contents.constData(), size_t(contents.size())) == ssize_t(contents.size());
    return ::close(fd) == 0 && ok;
}

inline mode_t permissions(const std::string& path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

} // namespace storetest
