// A data file made of the input bytes, read as start-up reads it, computed at the first
// months and at the end of the horizon, and listed in every order of the entry list. The
// grouped computation gives the figures of the plain loop in tests/budget_reference.h,
// every due entry is a usable line whose cycle reaches the month, and every line gets one
// row, the rows in order.

#include "budget/budget.h"
#include "budget/entryrows.h"
#include "core/datastore.h"
#include "core/text.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

#include <cmath>

using namespace kestrow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Today varies with the input, so month ends, year ends and early years all get runs.
    const std::string today[] = {"2026-03-01", "2026-12-31", "2026-01-15", "1999-02-28",
                                 "2100-06-30"};
    const std::string& now = today[size % 5];
    const auto lines = SplitLines(std::string_view(reinterpret_cast<const char*>(data), size));
    const ParsedFile parsed = ParseLines(lines);
    FUZZ_CHECK(parsed.records.size() + parsed.unusableLines.size() == lines.size());
    double scale = 1;
    for (const UsableRecord& record : parsed.records)
        scale += std::fabs(record.amount);
    // The horizon follows the longest period; a cap keeps each run short.
    const auto horizon = std::min<std::int16_t>(LargestDuration(parsed.records, 120), 600);
    for (const int offset : {0, 1, int(horizon)}) {
        const BudgetInput input{&parsed.records, now, horizon, std::int16_t(offset)};
        const BudgetFigures a = Compute(input), b = reference::Compute(input);
        FUZZ_CHECK(a.shownMonth == b.shownMonth && a.skippedRecords == b.skippedRecords);
        FUZZ_CHECK(a.due.size() == b.due.size() &&
                   a.monthTotals.size() == std::size_t(horizon) + 1);
        const auto near = [&](double x, double y) {
            return scale > 1e12 || (std::isfinite(x) && std::fabs(x - y) <= 1e-9 * scale);
        };
        for (std::size_t i = 0; i <= std::size_t(horizon); ++i)
            FUZZ_CHECK(near(a.monthTotals[i], b.monthTotals[i]));
        FUZZ_CHECK(near(a.monthlyRequired, b.monthlyRequired) && near(a.billsDue, b.billsDue) &&
                   near(a.freedAmount, b.freedAmount) && near(a.totalThisMonth, b.totalThisMonth));
        for (std::size_t i = 0; i < a.due.size(); ++i) {
            const DueEntry& due = a.due[i];
            FUZZ_CHECK(due.recordNumber == b.due[i].recordNumber &&
                       due.effectiveDate == b.due[i].effectiveDate);
            const auto& record =
                *std::find_if(parsed.records.begin(), parsed.records.end(),
                              [&](const auto& r) { return r.recordNumber == due.recordNumber; });
            FUZZ_CHECK(due.amount == record.amount && due.name == record.name &&
                       due.type == record.type);
            const auto date = SplitText(due.effectiveDate, '-');
            const long lag = *PartValue(date.at(0)) * 12L + *PartValue(date.at(1)) -
                             std::stol(now.substr(0, 4)) * 12 - std::stol(now.substr(5, 2));
            FUZZ_CHECK(((offset - lag) % record.duration + record.duration) % record.duration == 0);
            FUZZ_CHECK(DateKey(due.effectiveDate).value_or(INT32_MAX) < a.dueMonthKey);
        }
        FUZZ_CHECK(DueLines(a.due).size() == a.due.size() && !MakeLabels(a).dueCaption.empty());
    }
    for (int order = 0; order <= int(EntryOrder::Raw); ++order) {
        const auto rows = EntryRows(lines, EntryOrder(order), now);
        const auto sorted = SortedEntryRows(lines, EntryOrder(order), now);
        std::vector<bool> seen(lines.size(), false);
        FUZZ_CHECK(rows.size() == lines.size() && sorted.size() == lines.size());
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            const auto n = std::size_t(sorted[i].recordNumber);
            FUZZ_CHECK(rows[i].recordNumber == std::int32_t(i + 1) && n >= 1 && n <= lines.size());
            FUZZ_CHECK(!seen[n - 1] && sorted[i].text == rows[n - 1].text);
            FUZZ_CHECK(i == 0 || !TextLess(sorted[i].text, sorted[i - 1].text));
            seen[n - 1] = true;
        }
    }
    return 0;
}
