#pragma once
// Asking where to save a file: the standard save dialog, opened in the user's documents
// folder. The file itself is saved through core/scratchfile.h.
//
// Tests switch on the hook: no dialog is shown; every save dialog answers with the file
// name set in advance (an empty name cancels it) and is counted.

#include <QString>

class QWidget;

namespace platform {

// The file the user chose, or an empty text when the dialog was cancelled.
QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& suggestedName,
                        const QString& filter);

struct SaveDialogTestHook
{
    static void install(); // every dialog cancelled until an answer is set
    static void uninstall();
    static void setAnswer(const QString& fileName);
    // Save dialogs shown since the last call.
    static int takeDialogs();
};

} // namespace platform
