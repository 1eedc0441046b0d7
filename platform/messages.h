#pragma once
// Message boxes with fixed texts. Tests switch on the hook: nothing is shown, every
// message is recorded, and questions take answers queued in advance (No when none is
// queued), so no test ever waits on a modal box.

#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

inline const QString kProgramTitle = QStringLiteral("Kestrow");

// An OK-only box without an icon, titled "Kestrow" unless told otherwise.
void ShowMessage(QWidget* parent, const QString& text, const QString& title = kProgramTitle);
// A problem the user did not cause (a file could not be written): OK only, warning icon.
void ShowError(QWidget* parent, const QString& text, const QString& title = kProgramTitle);
// Yes/No with the question icon and No as the default. True for Yes.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);

struct MessageTestHook
{
    static void install(); // record instead of showing
    static void uninstall();
    static void queueAnswer(bool yes);
    // Texts shown since the last call, oldest first; questions are recorded as their text.
    static QStringList takeShown();
};

} // namespace platform
