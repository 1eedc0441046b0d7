#pragma once
// Undo and redo in a window: Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y, and the two items that
// begin its context menu, named after the change they take back or make again.

#include <QObject>

#include <functional>

class AppState;
class QAction;
class QMenu;
class QWidget;

class UndoActions : public QObject
{
    Q_OBJECT
public:
    // `refresh` rebuilds the window from the data file once the file has changed (or has
    // been read again).
    UndoActions(AppState& state, QWidget* window, std::function<void()> refresh);

    // Puts "Undo ..." and "Redo ..." at the top of `menu`, up to date.
    void addTo(QMenu* menu);

private:
    void update();
    void step(bool undo);

    AppState& state_;
    QWidget* window_;
    std::function<void()> refresh_;
    QAction* undo_;
    QAction* redo_;
};

// Shows the introduction screen when the data file holds no payment, as after deleting the
// last one. False when the user ended the program there.
bool ShowIntroductionIfEmpty(AppState& state, QWidget* parent);
