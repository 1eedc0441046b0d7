#pragma once
// The monthly requirement: from the payments, how much new money must be set aside each
// month, how much the savings pot must hold at every month of the horizon, how much of it
// is never needed (freed), and which payments fall due in the displayed month. Records in,
// figures out: no window code, no file access. The main window and kestrow-report both
// call Compute, so they cannot disagree.

#include "core/record.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

struct DueEntry
{
    std::int32_t recordNumber = 0;
    std::string effectiveDate;
    double amount = 0;
    std::string type;
    std::string name;
};

struct BudgetInput
{
    const std::vector<UsableRecord>* records = nullptr; // file order
    std::string todayDate;                              // YYYY-MM-DD
    std::int16_t horizonMonths = kDefaultHorizon;
    std::int16_t monthOffset = 0;
};

struct BudgetFigures
{
    std::string shownMonth;          // yyyy-mm
    std::int32_t dueMonthKey = 0;    // yyyymm99
    std::vector<double> monthTotals; // indices 0 to horizonMonths
    double monthlyRequired = 0;
    double billsDue = 0;
    double freedAmount = 0;
    double netRequirement = 0;
    double totalThisMonth = 0;
    std::vector<DueEntry> due; // in the order the pass finds them (file order)
    // Record numbers of usable lines the pass cannot place: the effective date's year is
    // not four digits, or StepDate refuses the date. They count nowhere.
    std::vector<std::int32_t> skippedRecords;
};

// A horizon below 0 counts as 0 and an offset outside 0 to horizonMonths is brought to the
// nearer end, so the totals are never read out of range. A todayDate that IsTodayDate
// refuses gives the figures of an empty schedule with every record skipped. freedAmount is
// the true smallest total of months 0 to horizonMonths - 1 (0 when that range is empty).
BudgetFigures Compute(const BudgetInput& input);

// The due lists of every month from offset 0 to lastOffset, in one pass over the records:
// visit(offset, entry) is called for exactly the entries Compute's due list holds at that
// monthOffset, record by record in file order and, for each record, month by month.
void ForEachDue(const BudgetInput& input, int lastOffset,
                const std::function<void(int, const DueEntry&)>& visit);

// When a record is listed as due: at the month offsets first, first + period, ... up to
// the horizon, exactly where Compute's due list at that monthOffset holds it. Records
// never listed within the horizon have none.
struct DueRhythm
{
    std::size_t record = 0; // its index in *input.records
    std::int32_t first = 0;
    std::int32_t period = 1;
};
// In file order, from one pass over the records; input.monthOffset is not used.
std::vector<DueRhythm> DueRhythms(const BudgetInput& input);

// For every month offset from 0 to the horizon, the sum of the payments Compute lists as
// due at that monthOffset (its billsDue), in one pass over the records.
std::vector<double> DueSums(const BudgetInput& input);

// "yyyy-mm" of the month `offset` months after today's; empty when IsTodayDate refuses it.
std::string ShownMonth(std::string_view todayDate, int offset);

// The texts the main window shows.
struct BudgetLabels
{
    std::string monthlyRequired; // "#,###.00 "
    std::string totalThisMonth;
    std::string billsDue;
    std::string netRequirement;
    std::string dueCaption;   // "Payments due in " + shownMonth
    std::string chartCaption; // "Graph: " + "$#####.00" + " freed"
};
BudgetLabels MakeLabels(const BudgetFigures& figures);

// One line of the due list per entry, same order as `due`: date, amount right-aligned in
// nine characters, two blanks, type padded or cut to five characters, name (a date or name
// longer than kLongestShown characters cut short, core/text.h). When an amount
// does not fit nine characters, the amount column of every line is one wider than the
// longest amount, so the columns stay aligned and the list still sorts by date.
std::vector<std::string> DueLines(const std::vector<DueEntry>& due);

// The order of the sorted lists: case-insensitive byte order (ASCII letters folded to lower
// case, other bytes as they are), ties kept in the order given. Returns the permutation that sorts
// `lines`.
std::vector<std::size_t> SortedOrder(const std::vector<std::string>& lines);
bool TextLess(const std::string& a, const std::string& b);

} // namespace kestrow
