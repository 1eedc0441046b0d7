// A data file made of the input bytes, read the way start-up reads it and run through
// the whole computation at the first months and the end of the horizon, and through every
// order of the entry list. Checks what the main window relies on: payments are due only
// in the months their cycle reaches, every due entry points at a usable line, the grouped
// computation gives the figures of the plain loop, and every line gets a row.

#include "budget/budget.h"
#include "budget/entryrows.h"
#include "core/datastore.h"
#include "core/dates.h"
#include "core/record.h"
#include "core/text.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

using namespace kestrow;

namespace {

// The start-up horizon follows the longest duration; a cap keeps each run short while
// still going well past the usual 120 months.
constexpr std::int16_t kHorizonCap = 600;

bool Near(double a, double b, double tolerance)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return a == b || std::fabs(a - b) <= tolerance;
}

void CheckDue(const BudgetFigures& figures, const std::map<std::int32_t, UsableRecord>& usable,
              const std::string& today, int offset)
{
    const long todayIndex =
        long(*PartValue(today.substr(0, 4))) * 12 + long(*PartValue(today.substr(5, 2)));
    for (const DueEntry& entry : figures.due) {
        const auto found = usable.find(entry.recordNumber);
        FUZZ_CHECK(found != usable.end());
        const UsableRecord& record = found->second;
        FUZZ_CHECK(entry.amount == record.amount ||
                   (std::isnan(entry.amount) && std::isnan(record.amount)));
        FUZZ_CHECK(entry.name == record.name && entry.type == record.type);

        const auto parts = SplitText(entry.effectiveDate, '-');
        FUZZ_CHECK(parts.size() >= 2);
        const auto year = PartValue(parts[0]);
        const auto month = PartValue(parts[1]);
        FUZZ_CHECK(year && month);
        const long lag = long(*year) * 12 + *month - todayIndex;
        const long phase = ((offset - lag) % record.duration + record.duration) % record.duration;
        FUZZ_CHECK(phase == 0);
        const auto key = DateKey(entry.effectiveDate);
        FUZZ_CHECK(key && *key < figures.dueMonthKey);
    }
    FUZZ_CHECK(DueLines(figures.due).size() == figures.due.size());
    MakeLabels(figures);
}

void CheckSame(const BudgetFigures& grouped, const BudgetFigures& direct, bool compareNumbers,
               double tolerance)
{
    FUZZ_CHECK(grouped.shownMonth == direct.shownMonth);
    FUZZ_CHECK(grouped.dueMonthKey == direct.dueMonthKey);
    FUZZ_CHECK(grouped.monthTotals.size() == direct.monthTotals.size());
    auto skippedA = grouped.skippedRecords;
    auto skippedB = direct.skippedRecords;
    std::sort(skippedA.begin(), skippedA.end());
    std::sort(skippedB.begin(), skippedB.end());
    FUZZ_CHECK(skippedA == skippedB);
    FUZZ_CHECK(grouped.due.size() == direct.due.size());
    for (std::size_t i = 0; i < grouped.due.size(); ++i) {
        FUZZ_CHECK(grouped.due[i].recordNumber == direct.due[i].recordNumber);
        FUZZ_CHECK(grouped.due[i].effectiveDate == direct.due[i].effectiveDate);
    }
    if (!compareNumbers)
        return;
    for (std::size_t i = 0; i < grouped.monthTotals.size(); ++i)
        FUZZ_CHECK(Near(grouped.monthTotals[i], direct.monthTotals[i], tolerance));
    FUZZ_CHECK(Near(grouped.monthlyRequired, direct.monthlyRequired, tolerance));
    FUZZ_CHECK(Near(grouped.billsDue, direct.billsDue, tolerance));
    FUZZ_CHECK(Near(grouped.freedAmount, direct.freedAmount, tolerance));
    FUZZ_CHECK(Near(grouped.netRequirement, direct.netRequirement, tolerance));
    FUZZ_CHECK(Near(grouped.totalThisMonth, direct.totalThisMonth, tolerance));
}

void CheckFinite(const BudgetFigures& figures)
{
    for (const double total : figures.monthTotals)
        FUZZ_CHECK(std::isfinite(total));
    FUZZ_CHECK(std::isfinite(figures.monthlyRequired));
    FUZZ_CHECK(std::isfinite(figures.billsDue));
    FUZZ_CHECK(std::isfinite(figures.freedAmount));
    FUZZ_CHECK(std::isfinite(figures.netRequirement));
    FUZZ_CHECK(std::isfinite(figures.totalThisMonth));
}

void CheckRows(const std::vector<std::string>& lines, const std::string& today)
{
    for (int order = 0; order <= static_cast<int>(EntryOrder::Raw); ++order) {
        const auto rows = EntryRows(lines, static_cast<EntryOrder>(order), today);
        FUZZ_CHECK(rows.size() == lines.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            FUZZ_CHECK(rows[i].recordNumber == static_cast<std::int32_t>(i + 1));

        const auto sorted = SortedEntryRows(lines, static_cast<EntryOrder>(order), today);
        FUZZ_CHECK(sorted.size() == lines.size());
        std::vector<bool> seen(lines.size(), false);
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            const std::int32_t n = sorted[i].recordNumber;
            FUZZ_CHECK(n >= 1 && static_cast<std::size_t>(n) <= lines.size());
            FUZZ_CHECK(!seen[static_cast<std::size_t>(n - 1)]);
            seen[static_cast<std::size_t>(n - 1)] = true;
            FUZZ_CHECK(sorted[i].text == rows[static_cast<std::size_t>(n - 1)].text);
            if (i > 0)
                FUZZ_CHECK(!TextLess(sorted[i].text, sorted[i - 1].text));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Today varies with the input so month ends, year ends and early years all get runs.
    static const std::array<std::string, 5> kToday = {"2026-03-01", "2026-12-31", "2026-01-15",
                                                      "1999-02-28", "2100-06-30"};
    const std::string& today = kToday[size % kToday.size()];

    const std::string_view contents(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitLines(contents);
    const ParsedFile parsed = ParseLines(lines);

    std::map<std::int32_t, UsableRecord> usable;
    bool modest = true;
    double scale = 1;
    for (const UsableRecord& record : parsed.records) {
        FUZZ_CHECK(record.recordNumber >= 1 &&
                   static_cast<std::size_t>(record.recordNumber) <= lines.size());
        FUZZ_CHECK(record.duration >= 1);
        FUZZ_CHECK(usable.emplace(record.recordNumber, record).second);
        modest = modest && std::isfinite(record.amount) && std::fabs(record.amount) <= 1e12;
        scale += std::fabs(record.amount);
    }
    for (const std::int32_t n : parsed.unusableLines)
        FUZZ_CHECK(n >= 1 && static_cast<std::size_t>(n) <= lines.size() && !usable.count(n));
    FUZZ_CHECK(parsed.records.size() + parsed.unusableLines.size() == lines.size());

    BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = today;
    input.horizonMonths = std::min(LargestDuration(parsed.records, 120), kHorizonCap);
    for (const std::int16_t offset :
         {std::int16_t(0), std::int16_t(1), std::int16_t(input.horizonMonths)}) {
        input.monthOffset = offset;
        const BudgetFigures grouped = Compute(input);
        const BudgetFigures direct = reference::Compute(input);
        FUZZ_CHECK(grouped.monthTotals.size() == static_cast<std::size_t>(input.horizonMonths) + 1);
        CheckDue(grouped, usable, today, offset);
        CheckDue(direct, usable, today, offset);
        CheckSame(grouped, direct, modest, 1e-9 * scale);
        if (modest) {
            CheckFinite(grouped);
            CheckFinite(direct);
        }
    }
    CheckRows(lines, today);
    return 0;
}
