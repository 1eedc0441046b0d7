#pragma once
// Where each payment stands in its cycle, and how the cycles add up to the month totals:
// the two steps of Compute (budget/budget.h) that have a quick way beside the general
// rule. Without the quick ways a refresh of 10,000 payments takes several times as long
// (make bench shows it); the tests hold each quick way against its general rule.

#include "core/record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow::cycles {

// Today and the months the computation covers: the same for every record.
struct Frame
{
    std::string_view todayDate;
    int todayYear = 0;
    int todayMonth = 0;
    std::int32_t todayIndex = 0; // absolute month number, year x 12 + month
    int horizon = 0;
    int offset = 0;
};
// Today's part of the frame (horizon and offset 0); nothing when IsTodayDate refuses the
// date. The frame points into todayDate.
std::optional<Frame> TodayFrame(std::string_view todayDate);

// Where one record stands in its cycle.
struct Placement
{
    bool usable = false;
    bool steppedWins = false; // the effective date is the stepped date, else the stored one
    bool steppedText = false; // `stepped` holds the stepped date's text; else build it
    std::int32_t dueLag = 0;  // months from today's month to the due month, 0 to the period
    std::int32_t key = 0;     // DateKey of the effective date
};

// The general rule: the date moved on by StepDate, the later of it and the stored date by
// text comparison, and that date's year read as its first four characters. `stepped`
// receives StepDate's text.
Placement PlaceByText(const UsableRecord& record, const Frame& frame, std::string& stepped);
// The same for a canonical date whose next occurrence has a four-digit year, without
// building a text: both dates are then YYYY-MM-DD, so comparing them as numbers is
// comparing them as text. Nothing for any other record.
std::optional<Placement> PlaceByNumbers(const UsableRecord& record, const Frame& frame);
// PlaceByNumbers where it applies, otherwise PlaceByText.
Placement Place(const UsableRecord& record, const Frame& frame, std::string& stepped);
// The effective date's text of a placed record; may build it in `stepped`.
std::string_view EffectiveText(const Placement& place, const UsableRecord& record,
                               const Frame& frame, std::string& stepped);

// Records of one period whose due month lies `lag` months ahead (0 to period - 1) save in
// the same rhythm: the sum of their monthly shares is added to the totals once.
struct SavingGroup
{
    std::int32_t period;
    std::int32_t lag;
    double share;
};

// The general rule: each group's pot added to every month of the totals in turn.
void AddMonthByMonth(const SavingGroup* first, const SavingGroup* last,
                     std::vector<double>& totals);
// The same for groups of one period: their pots over one period, built once in `pattern`
// and repeated over the totals.
void AddByPattern(const SavingGroup* first, const SavingGroup* last, std::vector<double>& totals,
                  std::vector<double>& pattern);
// Groups of one period, by whichever way costs fewer additions.
void AddPeriod(const SavingGroup* first, const SavingGroup* last, std::vector<double>& totals,
               std::vector<double>& pattern);

} // namespace kestrow::cycles
