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
    QStringList titles;
};
HookState& hook()
{
    static HookState state;
    return state;
}

bool record(const QString& title, const QString& text)
{
    if (!hook().installed)
        return false;
    hook().shown << text;
    hook().titles << title;
    return true;
}

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& title)
{
    if (record(title, text))
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
    if (record(title, text)) {
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
bool MessageTestHook::installed()
{
    return hook().installed;
}
void MessageTestHook::queueAnswer(bool yes)
{
    hook().answers.push_back(yes);
}
QStringList MessageTestHook::takeShown()
{
    return std::exchange(hook().shown, {});
}
QStringList MessageTestHook::takeTitles()
{
    return std::exchange(hook().titles, {});
}

} // namespace platform
