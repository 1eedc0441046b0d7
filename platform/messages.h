#pragma once
// Message boxes with fixed texts. Tests switch on the hook: nothing is shown, every
// message is recorded, and questions take answers queued in advance (No, or the last
// choice, when none is queued), so no test ever waits on a modal box or opens a window of
// another program.

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
// A choice among `choices` (button captions, the first the default, the last also Esc and
// the close box), with `details` shown below the text in a fixed-pitch box the user can
// scroll and select from. Returns the index of the choice.
int AskChoice(QWidget* parent, const QString& text, const QString& details,
              const QStringList& choices);
// Hands a folder to the desktop, which opens it in the file manager. Under the hook it is
// only recorded, as the message "Opened the folder PATH".
void ShowFolder(const QString& folder);

struct MessageTestHook
{
    static void install(); // record instead of showing
    static void uninstall();
    static void queueAnswer(bool yes);
    // The index AskChoice returns next; the last choice when none is queued.
    static void queueChoice(int index);
    // Texts shown since the last call, oldest first; questions are recorded as their text.
    static QStringList takeShown();
};

} // namespace platform
