#pragma once
// Where the data lives: the names of the data file and of its scratch file, and the parts
// of a path. Paths are the system's bytes, never decoded text.

#include <string>
#include <string_view>

namespace kestrow {

// Both live in the same folder: the rename that puts a rewrite in place never crosses
// file systems.
inline constexpr std::string_view kDataFileName = "Kestrow.txt";
inline constexpr std::string_view kScratchFileName = "xyzzy.tmp";

// The folder part of a path: "." when it has none, "/" for a file in the root.
std::string FolderOf(const std::string& path);
// The last part of a path.
std::string FileNameOf(const std::string& path);
// The name in the folder, without a doubled slash in the root.
std::string PathIn(const std::string& folder, std::string_view name);

} // namespace kestrow
