#pragma once
// Kestrow at a glance
// -------------------
// Kestrow keeps periodic payments in one plain-text data file, one record per line
// (core/datastore.h), and works out how much money must be set aside each month
// (budget/budget.h). The layers, each a library, lowest first:
//   core/      records, dates, money texts and the data file (standard C++ only)
//   budget/    the computation: records in, figures and list rows out
//   exports/   the calendar (libical) and month table files built from it (no Qt)
//   platform/  thin desktop services with test hooks (clock, message boxes, printer)
//   app/       this state with the undo history (app/undohistory.h), start-up
//              (app/startup.h) and the watch on the data file (app/filewatcher.h)
//   forms/     one unit per window, each given the AppState it works on
// main.cpp, above them all, creates the AppState and the windows and runs start-up, which
// makes sure a data file exists and holds it open, shows the introduction screen while
// there is no payment, and then shows the main window (forms/mainwindow.h). Every other
// window is modal and opened from there. Nothing is cached: each window reads the data
// file again whenever it refreshes, and every change is written to disk at once.

#include "app/undohistory.h"
#include "core/datastore.h"
#include "core/record.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What every window of one run shares: the data file, today, the horizon and the undo
// history.
class AppState
{
public:
    AppState() = default;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Today is read from the clock once and stays the same for the whole run.
    void setToday(std::string date, std::int16_t month);
    const std::string& todayDate() const { return todayDate_; }
    std::int16_t todayMonth() const { return todayMonth_; }

    // Opens the data file with its scratch file beside it (start-up, and tests), both
    // paths the system's bytes.
    kestrow::Status openData(const std::string& dataFile, const std::string& tempFile);
    // The system calls the data file goes through from the next openData on, and the
    // exports at once; tests put faults in them.
    void useFileOps(kestrow::FileOps& ops) { ops_ = &ops; }
    kestrow::FileOps& fileOps() { return *ops_; }
    bool hasData() const { return data_ != nullptr && data_->isOpen(); }
    kestrow::DataStore& data() { return *data_; }
    const kestrow::DataStore& data() const { return *data_; }

    // Months the computation looks ahead: 120, or the largest duration found at start-up,
    // raised only when a record with a longer duration is added.
    std::int16_t horizonMonths() const { return horizon_; }
    void raiseHorizon(std::int16_t months);
    // Raises the horizon to the largest duration of the records the data file held when it
    // was first read whole: at start-up, or, when start-up could not read it, at the first
    // refresh that could. Later calls change nothing.
    void settleHorizon(const std::vector<kestrow::UsableRecord>& records);

    // Every change made while Kestrow runs, for undo and redo.
    UndoHistory& history() { return history_; }

private:
    kestrow::FileOps* ops_ = &kestrow::FileOps::system();
    std::unique_ptr<kestrow::DataStore> data_;
    std::string todayDate_; // YYYY-MM-DD
    std::int16_t todayMonth_ = 0;
    std::int16_t horizon_ = kestrow::kDefaultHorizon;
    bool horizonSettled_ = false;
    UndoHistory history_;
};
