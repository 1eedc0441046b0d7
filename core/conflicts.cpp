#include "core/conflicts.h"

#include "core/notices.h"
#include "core/paths.h"
#include "core/record.h"
#include "core/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>

namespace kestrow {

namespace {

bool Digits(std::string_view text, std::size_t count)
{
    return text.size() == count &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// YYYY-MM-DD, as the tools write the day of the conflict.
bool IsDay(std::string_view text)
{
    return text.size() == 10 && Digits(text.substr(0, 4), 4) && text[4] == '-' &&
           Digits(text.substr(5, 2), 2) && text[7] == '-' && Digits(text.substr(8), 2);
}

bool Alphanumeric(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

// The tools put their mark before the last extension; a name whose only dot leads it (a
// hidden file) has none.
std::pair<std::string_view, std::string_view> SplitExtension(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

std::string_view NameField(std::string_view line)
{
    return line.substr(0, line.find(kFieldSeparator));
}

std::vector<std::string> NonBlankLines(std::string_view contents)
{
    std::vector<std::string> lines;
    ForEachLine(contents, [&lines](std::string_view line) {
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            lines.emplace_back(line);
    });
    return lines;
}

// The lines of `lines` beyond as many of each as `other` holds.
std::vector<std::string> Beyond(const std::vector<std::string>& lines,
                                const std::vector<std::string>& other)
{
    std::map<std::string_view, int> counts;
    for (const std::string& line : other)
        ++counts[line];
    std::vector<std::string> beyond;
    for (const std::string& line : lines) {
        const auto found = counts.find(line);
        if (found != counts.end() && found->second > 0)
            --found->second;
        else
            beyond.push_back(line);
    }
    return beyond;
}

} // namespace

SyncTool ConflictCopyOf(std::string_view dataName, std::string_view name)
{
    const auto [base, extension] = SplitExtension(dataName);
    if (base.empty() || name.size() <= dataName.size() || !name.starts_with(base) ||
        !name.ends_with(extension))
        return SyncTool::None;
    const std::string_view mark =
        name.substr(base.size(), name.size() - base.size() - extension.size());

    // ".sync-conflict-YYYYMMDD-HHMMSS-" and the short ID of the other device.
    constexpr std::string_view syncthing = ".sync-conflict-";
    if (mark.starts_with(syncthing)) {
        const std::string_view rest = mark.substr(syncthing.size());
        const bool ok = rest.size() > 16 && Digits(rest.substr(0, 8), 8) && rest[8] == '-' &&
                        Digits(rest.substr(9, 6), 6) && rest[15] == '-' &&
                        Alphanumeric(rest.substr(16));
        return ok ? SyncTool::Syncthing : SyncTool::None;
    }
    if (!mark.starts_with(" (") || !mark.ends_with(")"))
        return SyncTool::None;
    const std::string_view inner = mark.substr(2, mark.size() - 3);

    // "conflicted copy YYYY-MM-DD HHMMSS"; newer clients put the user's name before the day.
    constexpr std::string_view nextcloud = "conflicted copy ";
    if (inner.starts_with(nextcloud)) {
        const std::string_view when = inner.substr(nextcloud.size());
        const bool ok = when.size() >= 17 && IsDay(when.substr(when.size() - 17, 10)) &&
                        when[when.size() - 7] == ' ' && Digits(when.substr(when.size() - 6), 6);
        return ok ? SyncTool::Nextcloud : SyncTool::None;
    }

    // "Anna's conflicted copy YYYY-MM-DD", with a straight or a typographic apostrophe.
    for (const std::string_view whose : {std::string_view("'s conflicted copy "),
                                         std::string_view("\xe2\x80\x99s conflicted copy ")}) {
        const auto at = inner.find(whose);
        if (at != std::string_view::npos && at > 0 && IsDay(inner.substr(at + whose.size())))
            return SyncTool::Dropbox;
    }
    return SyncTool::None;
}

std::string SyncToolName(SyncTool tool)
{
    switch (tool) {
    case SyncTool::Syncthing:
        return "Syncthing";
    case SyncTool::Nextcloud:
        return "Nextcloud or ownCloud";
    case SyncTool::Dropbox:
        return "Dropbox";
    case SyncTool::None:
        break;
    }
    return "a sync tool";
}

std::vector<std::string> ConflictCopiesBeside(const std::string& dataFile, int& error)
{
    error = 0;
    const std::string folder = FolderOf(dataFile);
    const std::string dataName = FileNameOf(dataFile);
    std::vector<std::string> copies;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        error = errno;
        return copies;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (ConflictCopyOf(dataName, entry->d_name) != SyncTool::None)
            copies.push_back(PathIn(folder, entry->d_name));
    }
    error = errno;
    ::closedir(dir);
    if (error != 0)
        copies.clear();
    std::sort(copies.begin(), copies.end());
    return copies;
}

std::string ReadConflictCopy(FileOps& ops, const std::string& path, std::string& contents)
{
    contents.clear();
    struct stat st = {};
    if (ops.lstat(path.c_str(), &st) != 0)
        return ErrnoText(errno);
    // Never waiting on a pipe, never following a link somewhere else.
    if (!S_ISREG(st.st_mode))
        return "it is " + notices::KindOf(st.st_mode) + ", not a plain file";
    FileHandle file(ops, ops.open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0));
    if (!file.isOpen())
        return ErrnoText(errno);
    if (const int err = ReadAll(ops, file.get(), contents); err != 0)
        return ErrnoText(err);
    if (ParseText(contents).records.empty() &&
        contents.find_first_not_of(" \t\r\n") != std::string::npos)
        return "it is damaged: no line of it is a payment";
    return {};
}

LineComparison CompareLines(std::string_view data, std::string_view copy)
{
    const std::vector<std::string> dataLines = NonBlankLines(data);
    const std::vector<std::string> copyLines = NonBlankLines(copy);
    LineComparison result;
    result.onlyInData = Beyond(dataLines, copyLines);
    for (std::string& line : Beyond(copyLines, dataLines)) {
        const auto partner = std::find_if(
            result.onlyInData.begin(), result.onlyInData.end(),
            [&line](const std::string& other) { return NameField(other) == NameField(line); });
        if (partner == result.onlyInData.end()) {
            result.onlyInCopy.push_back(std::move(line));
            continue;
        }
        result.differing.emplace_back(std::move(*partner), std::move(line));
        result.onlyInData.erase(partner);
    }
    return result;
}

std::vector<std::string> PaymentsToMerge(const LineComparison& comparison)
{
    std::vector<std::string> payments;
    for (const std::string& line : comparison.onlyInCopy) {
        if (ParseRecord(line, 1))
            payments.push_back(line);
    }
    return payments;
}

std::string MergedName(const std::string& path)
{
    return path + ".merged";
}

std::string SetAsideMerged(const std::string& path)
{
    const std::string target = MergedName(path);
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return ErrnoText(errno);
    // A file system that cannot promise not to replace: looked at first, then renamed.
    struct stat st = {};
    if (::lstat(target.c_str(), &st) == 0)
        return ErrnoText(EEXIST);
    if (::rename(path.c_str(), target.c_str()) != 0)
        return ErrnoText(errno);
    return {};
}

} // namespace kestrow
