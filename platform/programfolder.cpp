#include "platform/programfolder.h"

#include "core/paths.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string& testFolder()
{
    static std::string folder;
    return folder;
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// mkdir -p: every missing folder on the way, with the umask's permissions.
bool makeFolders(const std::string& path)
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const std::string parent = kestrow::FolderOf(path);
    if (parent != path && !makeFolders(parent))
        return false;
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool exists(const std::string& path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isProgram(const std::string& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// $XDG_DATA_HOME/Kestrow, or ~/.local/share/Kestrow, as bytes.
std::string perUserFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::string(xdg) + "/Kestrow";
    std::string home;
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] != '\0')
        home = env;
    else if (const struct passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir)
        home = pw->pw_dir;
    if (home.empty())
        return {};
    return home + "/.local/share/Kestrow";
}

std::string dataFolderOf(const std::string& own)
{
    // A program installed among the system's commands (a package puts it in /usr/bin)
    // must not drop its data there, even when run by root, who can write anywhere.
    const bool systemFolder = startsWith(own, "/usr/") || own == "/bin";
    // Anything at the name counts, a link that leads nowhere included: start-up then says
    // what is wrong with it rather than quietly using another file.
    if (exists(kestrow::PathIn(own, kestrow::kDataFileName)) ||
        (!systemFolder && ::access(own.c_str(), W_OK | X_OK) == 0))
        return own;
    const std::string perUser = perUserFolder();
    if (perUser.empty() || !makeFolders(perUser))
        return {};
    return perUser;
}

} // namespace

std::string ProgramFolder()
{
    if (!testFolder().empty())
        return testFolder();
    std::string exe(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n > 0 && std::size_t(n) < exe.size()) {
        exe.resize(std::size_t(n));
        return kestrow::FolderOf(exe);
    }
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
}

std::string DataFolder()
{
    if (!testFolder().empty())
        return testFolder();
    return dataFolderOf(ProgramFolder());
}

std::string CompanionDataFolder()
{
    if (!testFolder().empty())
        return testFolder();
    const std::string own = ProgramFolder();
    // A data file or the program beside the tool settles it (installed, both live in one
    // folder); otherwise the program one folder up is the one `make run` starts.
    const std::string above = kestrow::FolderOf(own);
    if (!exists(kestrow::PathIn(own, kestrow::kDataFileName)) && !isProgram(own + "/kestrow") &&
        isProgram(above + "/kestrow"))
        return dataFolderOf(above);
    return dataFolderOf(own);
}

QString ShownPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

void SetProgramFolderForTesting(const std::string& folder)
{
    testFolder() = folder;
}

void SetProgramFolderForTesting(const QString& folder)
{
    testFolder() = QFile::encodeName(folder).toStdString();
}

} // namespace platform
