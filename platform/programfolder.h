#pragma once
// Where the program and its data live. Folders are the system's bytes, never decoded
// text, so that a folder whose name is not valid UTF-8 works like any other; only
// messages show a decoded form.
#include <QString>

#include <string>

namespace platform {

// The folder that holds the program file (from /proc/self/exe).
std::string ProgramFolder();
// Where Kestrow keeps its data file: the program's own folder, unless that folder cannot
// be written and holds no data file (Kestrow installed system-wide); then the per-user
// data folder (~/.local/share/Kestrow), created when needed. Empty when neither can be
// used.
std::string DataFolder();
// The same choice for a tool that comes with Kestrow (kestrow-report): made from the folder
// of the Kestrow program it belongs to, which is the tool's own folder, except in the build
// tree, where the tools are built one folder below the program (build/tools/).
std::string CompanionDataFolder();

// A path as a message shows it.
QString ShownPath(const std::string& path);

// Tests point both at a folder of their own; an empty folder returns to the real ones.
void SetProgramFolderForTesting(const std::string& folder);
void SetProgramFolderForTesting(const QString& folder);

} // namespace platform
