#include "forms/undoactions.h"

#include "app/appstate.h"
#include "forms/introdialog.h"
#include "forms/putback.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/textcodec.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace {

// A name with "&" in it must not turn a letter into a menu accelerator.
QString MenuText(const QString& verb, const std::string& label)
{
    if (label.empty())
        return verb;
    QString name = platform::DecodeText(label);
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return verb + QLatin1Char(' ') + name;
}

} // namespace

UndoActions::UndoActions(AppState& state, QWidget* window, std::function<void()> refresh)
    : QObject(window), state_(state), window_(window), refresh_(std::move(refresh)),
      undo_(new QAction(window)), redo_(new QAction(window))
{
    undo_->setObjectName(QStringLiteral("mnuUndo"));
    redo_->setObjectName(QStringLiteral("mnuRedo"));
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {undo_, redo_}) {
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
    }
    connect(undo_, &QAction::triggered, this, [this] { step(true); });
    connect(redo_, &QAction::triggered, this, [this] { step(false); });
    update();
}

void UndoActions::update()
{
    const UndoHistory& history = state_.history();
    undo_->setText(MenuText(QStringLiteral("Undo"), history.undoLabel()));
    redo_->setText(MenuText(QStringLiteral("Redo"), history.redoLabel()));
    // The shortcuts stay live, so a key press with nothing to undo does nothing rather
    // than reaching another control.
    undo_->setEnabled(true);
    redo_->setEnabled(true);
}

void UndoActions::addTo(QMenu* menu)
{
    update();
    undo_->setEnabled(state_.history().canUndo());
    redo_->setEnabled(state_.history().canRedo());
    connect(menu, &QMenu::aboutToHide, this, &UndoActions::update, Qt::UniqueConnection);
    QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().constFirst();
    if (first == undo_)
        return;
    menu->insertActions(first, {undo_, redo_});
    menu->insertSeparator(first);
}

void UndoActions::step(bool undo)
{
    UndoHistory& history = state_.history();
    if (!state_.hasData() || !(undo ? history.canUndo() : history.canRedo()))
        return;
    const kestrow::Status status = MakeChange(state_, window_, [&](kestrow::IfRemoved ifRemoved) {
        if (undo)
            return history.undo(state_.data(), ifRemoved);
        return history.redo(state_.data(), ifRemoved);
    });
    if (!status.message.empty())
        platform::ShowError(window_, QString::fromStdString(status.message));
    update();
    if (platform::ProgramEnding())
        return;
    refresh_();
}

Introduction ShowIntroductionIfEmpty(AppState& state, QWidget* parent)
{
    if (!state.hasData() || state.data().length() != 0)
        return Introduction::NotShown;
    IntroDialog dialog(state, parent);
    const int result = dialog.exec();
    if (platform::ProgramEnding())
        return Introduction::Ending;
    return result == IntroDialog::Restored ? Introduction::Restored : Introduction::Continued;
}
