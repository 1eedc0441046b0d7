#include "platform/savefile.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

#include <utility>

namespace platform {

namespace {

struct HookState
{
    bool installed = false;
    QString answer;
    int dialogs = 0;
};
HookState& hook()
{
    static HookState state;
    return state;
}

} // namespace

QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& suggestedName,
                        const QString& filter)
{
    if (hook().installed) {
        ++hook().dialogs;
        return hook().answer;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QFileDialog::getSaveFileName(parent, caption, folder + QLatin1Char('/') + suggestedName,
                                        filter);
}

void SaveDialogTestHook::install()
{
    hook() = HookState{};
    hook().installed = true;
}
void SaveDialogTestHook::uninstall()
{
    hook() = HookState{};
}
void SaveDialogTestHook::setAnswer(const QString& fileName)
{
    hook().answer = fileName;
}
int SaveDialogTestHook::takeDialogs()
{
    return std::exchange(hook().dialogs, 0);
}

} // namespace platform
