#pragma once
// Saving a file the user names: the standard save dialog, opened in the user's documents
// folder, and a write that replaces the file whole or leaves it as it was.
//
// Tests switch on the hook: no dialog is shown; every save dialog answers with the file
// name set in advance (an empty name cancels it) and is counted.

#include <QString>

#include <string>

class QWidget;

namespace platform {

// The file the user chose, or an empty text when the dialog was cancelled.
QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& suggestedName,
                        const QString& filter);

// Writes the bytes through a scratch file beside the target and renames it over the
// target only when every byte is on disk, so a failed save leaves an existing file as it
// was. Returns an empty text, or the reason the file could not be written.
QString SaveWholeFile(const QString& fileName, const std::string& bytes);

struct SaveDialogTestHook
{
    static void install(); // every dialog cancelled until an answer is set
    static void uninstall();
    static void setAnswer(const QString& fileName);
    // Save dialogs shown since the last call.
    static int takeDialogs();
};

} // namespace platform
