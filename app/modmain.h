#pragma once
// Kestrow at a glance
// -------------------
// Kestrow keeps periodic payments in one plain-text data file, one record per line
// (core/datastore.h), and works out how much money must be set aside each month
// (budget/budget.h). The program starts in Main (app/startup.h), which fixes the globals
// below, makes sure a data file exists and holds it open, shows the introduction screen
// while there is no payment, and then shows the main window (forms/frmmain.h). Every
// other window is modal and opened from there. Nothing is cached: each window reads the
// data file again whenever it refreshes, and every change is written to disk at once.
//
// These globals of modMain are shared by every window, as the original program shared
// them; they live for the whole run.

#include "datastore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace modMain {

extern std::string DataFile;  // the program's folder + "/Kestrow.txt"
extern std::string TempFile;  // the program's folder + "/xyzzy.tmp"
extern std::string TodayDate; // YYYY-MM-DD, fixed at start for the whole run
extern std::int16_t TodayMonth;
extern std::int16_t HorizonMonths;     // months the computation looks ahead, at least 120
extern std::vector<double> MonthTotals; // indices 0 to HorizonMonths
extern std::int32_t DueMonthKey;        // yyyymm99 of the displayed month
extern std::int32_t EditIndex;          // record handed from the entry list to the edit form
extern std::int16_t DollarMonths;       // hand-over between Pay and the change-dollar dialog
extern double DollarAmount;

inline constexpr std::int16_t kDefaultHorizon = 120;

// The data file with its read handle, open from start-up to the end of the run.
kestrow::DataStore& Data();
bool HasData();
// Opens the data file at the given paths (start-up, and tests).
kestrow::Status OpenData(const std::string& dataFile, const std::string& tempFile);
void CloseData();

// Raises HorizonMonths to `months` when larger, growing MonthTotals and keeping its values.
void RaiseHorizon(std::int16_t months);

// Back to the state before start-up (tests).
void ResetForTesting();

} // namespace modMain
