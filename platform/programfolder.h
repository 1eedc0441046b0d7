#pragma once
#include <QString>

namespace platform {

// The folder that holds the program file.
QString ProgramFolder();
// Where Kestrow keeps its data file: the program's own folder, unless that folder cannot
// be written and holds no data file (Kestrow installed system-wide); then the per-user
// data folder, created when needed. Empty when neither can be used.
QString DataFolder();

// Tests point both at a folder of their own; an empty text returns to the real ones.
void SetProgramFolderForTesting(const QString& folder);

} // namespace platform
