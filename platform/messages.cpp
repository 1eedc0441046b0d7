#include "platform/messages.h"

#include <QMessageBox>
#include <deque>

namespace platform {

namespace {
struct HookState
{
    bool installed = false;
    std::deque<bool> answers;
    QStringList shown;
};
HookState& hook()
{
    static HookState state;
    return state;
}

bool record(const QString& text)
{
    if (!hook().installed)
        return false;
    hook().shown << text;
    return true;
}

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& title)
{
    if (record(text))
        return;
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

void ShowMessage(QWidget* parent, const QString& text, const QString& title)
{
    showBox(parent, QMessageBox::NoIcon, text, title);
}

void ShowError(QWidget* parent, const QString& text, const QString& title)
{
    showBox(parent, QMessageBox::Warning, text, title);
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text)
{
    if (record(text)) {
        if (hook().answers.empty())
            return false;
        const bool yes = hook().answers.front();
        hook().answers.pop_front();
        return yes;
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void MessageTestHook::install()
{
    hook() = HookState{};
    hook().installed = true;
}
void MessageTestHook::uninstall()
{
    hook() = HookState{};
}
void MessageTestHook::queueAnswer(bool yes)
{
    hook().answers.push_back(yes);
}
QStringList MessageTestHook::takeShown()
{
    return std::exchange(hook().shown, {});
}

} // namespace platform
