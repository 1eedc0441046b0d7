#include "core/paths.h"

namespace kestrow {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PathIn(const std::string& folder, std::string_view name)
{
    std::string path = folder == "/" ? std::string() : folder;
    path += '/';
    path += name;
    return path;
}

} // namespace kestrow
