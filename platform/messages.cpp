#include "platform/messages.h"

#include "platform/widgets.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <deque>

namespace platform {

namespace {
struct HookState
{
    bool installed = false;
    std::deque<bool> answers;
    std::deque<int> choices;
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

int AskChoice(QWidget* parent, const QString& text, const QString& details,
              const QStringList& choices)
{
    const int last = int(choices.size()) - 1;
    if (record(text + QStringLiteral("\n") + details)) {
        if (hook().choices.empty())
            return last;
        const int chosen = hook().choices.front();
        hook().choices.pop_front();
        return chosen;
    }
    QDialog box(parent);
    box.setWindowTitle(kProgramTitle);
    auto* layout = new QVBoxLayout(&box);
    auto* label = new QLabel(text, &box);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText); // file names may hold "<"
    layout->addWidget(label);
    auto* shown = new QPlainTextEdit(details, &box);
    shown->setReadOnly(true);
    shown->setLineWrapMode(QPlainTextEdit::NoWrap);
    shown->setFont(FixedPitchFont(8.25));
    shown->setAccessibleName(QStringLiteral("Details"));
    shown->setMinimumSize(Twips(7200), Twips(2400));
    layout->addWidget(shown);
    auto* buttons = new QDialogButtonBox(&box);
    int chosen = last; // Esc and the close box
    for (int i = 0; i <= last; ++i) {
        QPushButton* button = buttons->addButton(choices[i], QDialogButtonBox::ActionRole);
        button->setDefault(i == 0);
        // Enter chooses the first; the details are read with Tab, as in any message box.
        if (i == 0)
            button->setFocus();
        QObject::connect(button, &QPushButton::clicked, &box, [&box, &chosen, i] {
            chosen = i;
            box.accept();
        });
    }
    layout->addWidget(buttons);
    box.exec();
    return chosen;
}

void ShowFolder(const QString& folder)
{
    if (record(QStringLiteral("Opened the folder ") + folder))
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void MessageTestHook::queueChoice(int index)
{
    hook().choices.push_back(index);
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
