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
    // been read again); a window that may then find the file empty shows the introduction.
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

// What the introduction screen, shown when the data file holds no payment (as after deleting
// the last one), led to: nothing shown; left through "Continue"; left by an undo or redo
// that gave the file its payments back; the end of the program.
enum class Introduction { NotShown, Continued, Restored, Ending };
Introduction ShowIntroductionIfEmpty(AppState& state, QWidget* parent);
