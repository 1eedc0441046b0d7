#pragma once
// The introduction screen, shown while the data file holds no payment: at start-up and
// after the entry list has deleted every entry. "Continue" leads to the add-record form;
// "Exit" ends the program and removes the data file (after asking, when it holds data).
// Undo works here as in every window, so deleting every entry can be taken back.

#include <QDialog>
#include <QIcon>

class AppState;
class QLabel;
class QPushButton;

// The program's icon, for every window and for the introduction screen's picture.
QIcon ProgramIcon();

class IntroDialog : public QDialog
{
    Q_OBJECT
public:
    explicit IntroDialog(AppState& state, QWidget* parent = nullptr);

    // The result of exec() when Ctrl+Z (or redo) gave the data file its payments back.
    static constexpr int Restored = 2;

    QLabel* labName = nullptr;
    QLabel* imgIcon = nullptr;
    QLabel* labA = nullptr;
    QLabel* labB = nullptr;
    QPushButton* cmdContinue = nullptr;
    QPushButton* cmdQuit = nullptr;

    void Form_Load();
    void cmdContinue_Click();
    void cmdQuit_Click();

    // Esc and the close box act as "Exit".
    void reject() override;

private:
    AppState& state_;
};
