#pragma once
// Conflict copies of the data file. When the file lives in a synced folder and two
// computers change it before they sync, the sync tool keeps one version under the file's
// name and puts the other beside it, under a name of its own:
//   Syncthing            Kestrow.sync-conflict-20261207-143012-ABCDEF1.txt
//   Nextcloud, ownCloud  Kestrow (conflicted copy 2026-12-07 143012).txt
//   Dropbox              Kestrow (Anna's conflicted copy 2026-12-07).txt
// The payments in such a copy are lost to the user unless Kestrow points at them. These
// functions find the copies, compare one with the data file line by line, and set a
// merged copy aside under a new name. Nothing here deletes or overwrites a file.

#include "core/fileops.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrow {

enum class SyncTool { None, Syncthing, Nextcloud, Dropbox };

// Which tool left `name` as a conflict copy of the data file named `dataName` (both file
// names without their folder): the copy keeps the data file's name before its extension
// and its extension, whatever they are, with the tool's mark between them.
SyncTool ConflictCopyOf(std::string_view dataName, std::string_view name);
// The tool's name for a message: "Syncthing", "Nextcloud or ownCloud", "Dropbox".
std::string SyncToolName(SyncTool tool);

// The conflict copies beside the data file, as paths in its folder, in name order. An
// error reading the folder leaves the list empty and its errno in `error`.
std::vector<std::string> ConflictCopiesBeside(const std::string& dataFile, int& error);

// A copy's bytes, or the reason it cannot be used: not a plain file, not readable, or not
// a Kestrow file at all (bytes, but no line of them a payment). Empty when it was read.
std::string ReadConflictCopy(FileOps& ops, const std::string& path, std::string& contents);

// What differs between the data file and a copy, by whole lines (blank lines aside; line
// ends do not count). A line found in both as often is the same; of the others, a line of
// the copy and one of the data file that share the name (the first field) differ in part
// and are paired, in the copy's order; the rest are only in one of them.
struct LineComparison
{
    std::vector<std::string> onlyInCopy;
    std::vector<std::string> onlyInData;
    std::vector<std::pair<std::string, std::string>> differing; // the data file's, the copy's
    bool same() const { return onlyInCopy.empty() && onlyInData.empty() && differing.empty(); }
};
LineComparison CompareLines(std::string_view data, std::string_view copy);

// The lines only in the copy that are payments: what a merge adds to the data file.
std::vector<std::string> PaymentsToMerge(const LineComparison& comparison);

// After a merge the copy is renamed to its name with ".merged" added, so it is never
// offered again and never lost. Nothing is replaced: a file already there keeps the
// copy where it is. Empty when renamed, otherwise the reason.
std::string MergedName(const std::string& path);
std::string SetAsideMerged(const std::string& path);

} // namespace kestrow
