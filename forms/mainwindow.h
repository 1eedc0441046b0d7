#pragma once
// The main window: the four figures and the due payments of the displayed month, the
// savings chart, month navigation, and Pay / Step / Cancel on the selected due payment.
// Form_Load is the one refresh of the program: every caller that changed the data file
// or the displayed month empties lstDue and calls it again; nothing is cached between
// refreshes. The due list and the chart offer the calendar and month table exports in a
// context menu; that menu, the figures' and Ctrl+K check the pot against what it holds.
// A click on a bar of the chart displays its month, as the navigation buttons would.

#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class AppState;
class EntryListDialog;
class LiveReload;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class SavingsChart;
class UndoActions;
namespace platform {
class Announcer;
}

class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(AppState& state, QWidget* parent = nullptr);

    // The refresh: reads the data file from its first line and rebuilds everything shown.
    void Form_Load();

    // From now on a change made to the data file outside Kestrow is shown at once, and
    // conflict copies left beside it by a sync tool are offered (forms/livereload.h).
    void watchDataFile();

    QLabel* lab1 = nullptr;
    QLabel* lab2 = nullptr;
    QLabel* lab3 = nullptr;
    QLabel* lab4 = nullptr;
    QPushButton* cmdPrev = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdZero = nullptr;
    QPushButton* cmdPrevYr = nullptr;
    QPushButton* cmdNextYr = nullptr;
    QPushButton* cmdStep = nullptr;
    QPushButton* cmdPay = nullptr;
    QPushButton* cmdNoPay = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdExit = nullptr;
    QLabel* labE = nullptr;
    QListWidget* lstDue = nullptr;
    QLabel* labF = nullptr;
    SavingsChart* picGraph = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void lstDue_Click();
    void cmdPrev_Click();
    void cmdNext_Click();
    void cmdZero_Click();
    void cmdPrevYr_Click();
    void cmdNextYr_Click();
    void cmdStep_Click();
    void cmdPay_Click();
    void cmdNoPay_Click();
    void cmdEdit_Click();
    void cmdExit_Click();
    void DrawChart();
    void showExportMenu(const QPoint& globalPos);
    // Asks for a file name and saves the calendar (or the month table) of the data file
    // there; a failure is reported and changes no file.
    void saveExport(bool calendar);
    // Opens the pot check on the data file as it is now, offering the amount last typed.
    void checkPot();

    void navigate(int newOffset);
    // After the data file was read again: the displayed month, within the horizon, and the
    // selected payment kept where it still can be; an open entry list follows.
    void readAgain();
    // After Kestrow itself changed the file outside a button of this window (undo, a merge):
    // the introduction screen when it is now empty, then the window anew.
    void afterChange();
    // Pay and Step: rewrites the data file with the selected record changed.
    void changeSelected(bool pay);

    AppState& state_;
    std::array<QLabel*, 4> captions_{};  // labA to labD, each the buddy label of its figure
    std::array<QRect, 4> figureHomes_{}; // where lab1 to lab4 stand for an ordinary figure
    platform::Announcer* announcer_ = nullptr;
    std::int16_t monthOffset_ = 0;
    std::vector<double> monthTotals_; // the money to hold at month offsets 0 to the horizon
    std::vector<double> dueSums_;     // the payments due at the same offsets
    double freedAmount_ = 0;
    QMenu* exportMenu_ = nullptr; // the context menu of the figures, the due list and the chart
    QString lastPotAmount_;       // for this run only: the user types what the bank shows today
    UndoActions* undoActions_ = nullptr;
    EntryListDialog* entries_ = nullptr; // while "Edit Entries" is open
    LiveReload* liveReload_ = nullptr;
    bool readAgain_ = false; // the next refresh follows a change outside Kestrow, and says so
};
