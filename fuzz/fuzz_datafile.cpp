// A data file made of the input bytes, read as start-up reads it, computed at the first
// months and the end of the horizon and listed in every order of the entry list. What the
// main window relies on: payments are due only in months their cycle reaches, every due
// entry is a usable line, the grouped computation gives the figures of the plain loop in
// tests/budget_reference.h, and every line gets one row.

#include "budget/budget.h"
#include "budget/entryrows.h"
#include "core/datastore.h"
#include "core/dates.h"
#include "core/text.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

using namespace kestrow;

namespace {

bool Near(double a, double b, double tolerance)
{
    return a == b || std::fabs(a - b) <= tolerance || (std::isnan(a) && std::isnan(b));
}

void CheckDue(const BudgetFigures& figures, const std::map<std::int32_t, UsableRecord>& usable,
              long todayIndex, int offset)
{
    for (const DueEntry& entry : figures.due) {
        const auto found = usable.find(entry.recordNumber);
        FUZZ_CHECK(found != usable.end());
        const UsableRecord& record = found->second;
        FUZZ_CHECK(entry.name == record.name && entry.type == record.type);
        FUZZ_CHECK(entry.amount == record.amount || std::isnan(record.amount));
        const auto parts = SplitText(entry.effectiveDate, '-');
        const auto year = PartValue(parts.at(0));
        const auto month = PartValue(parts.at(1));
        FUZZ_CHECK(year && month);
        const long lag = long(*year) * 12 + *month - todayIndex;
        FUZZ_CHECK(((offset - lag) % record.duration + record.duration) % record.duration == 0);
        FUZZ_CHECK(DateKey(entry.effectiveDate).value_or(INT32_MAX) < figures.dueMonthKey);
    }
    FUZZ_CHECK(DueLines(figures.due).size() == figures.due.size());
}

void CheckSame(const BudgetFigures& a, const BudgetFigures& b, bool numbers, double tolerance)
{
    FUZZ_CHECK(a.shownMonth == b.shownMonth && a.dueMonthKey == b.dueMonthKey);
    FUZZ_CHECK(a.skippedRecords == b.skippedRecords && a.due.size() == b.due.size());
    for (std::size_t i = 0; i < a.due.size(); ++i) {
        FUZZ_CHECK(a.due[i].recordNumber == b.due[i].recordNumber);
        FUZZ_CHECK(a.due[i].effectiveDate == b.due[i].effectiveDate);
    }
    FUZZ_CHECK(a.monthTotals.size() == b.monthTotals.size());
    for (std::size_t i = 0; numbers && i < a.monthTotals.size(); ++i)
        FUZZ_CHECK(Near(a.monthTotals[i], b.monthTotals[i], tolerance) &&
                   std::isfinite(a.monthTotals[i]));
    const double x[] = {a.monthlyRequired, a.billsDue, a.freedAmount, a.netRequirement,
                        a.totalThisMonth};
    const double y[] = {b.monthlyRequired, b.billsDue, b.freedAmount, b.netRequirement,
                        b.totalThisMonth};
    for (int i = 0; numbers && i < 5; ++i)
        FUZZ_CHECK(Near(x[i], y[i], tolerance) && std::isfinite(x[i]));
}

void CheckRows(const std::vector<std::string>& lines, const std::string& today)
{
    for (int order = 0; order <= int(EntryOrder::Raw); ++order) {
        const auto rows = EntryRows(lines, EntryOrder(order), today);
        const auto sorted = SortedEntryRows(lines, EntryOrder(order), today);
        FUZZ_CHECK(rows.size() == lines.size() && sorted.size() == lines.size());
        std::vector<bool> seen(lines.size(), false);
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            FUZZ_CHECK(rows[i].recordNumber == std::int32_t(i + 1));
            const auto n = std::size_t(sorted[i].recordNumber);
            FUZZ_CHECK(n >= 1 && n <= lines.size() && !seen[n - 1]);
            seen[n - 1] = true;
            FUZZ_CHECK(sorted[i].text == rows[n - 1].text);
            FUZZ_CHECK(i == 0 || !TextLess(sorted[i].text, sorted[i - 1].text));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Today varies with the input, so month ends, year ends and early years all get runs.
    static const std::array<std::string, 5> kToday = {"2026-03-01", "2026-12-31", "2026-01-15",
                                                      "1999-02-28", "2100-06-30"};
    const std::string& today = kToday[size % kToday.size()];
    const long todayIndex = std::stol(today.substr(0, 4)) * 12 + std::stol(today.substr(5, 2));
    const auto lines = SplitLines(std::string_view(reinterpret_cast<const char*>(data), size));
    const ParsedFile parsed = ParseLines(lines);

    std::map<std::int32_t, UsableRecord> usable;
    bool modest = true;
    double scale = 1;
    for (const UsableRecord& record : parsed.records) {
        FUZZ_CHECK(record.recordNumber >= 1 && std::size_t(record.recordNumber) <= lines.size());
        FUZZ_CHECK(record.duration >= 1 && usable.emplace(record.recordNumber, record).second);
        modest = modest && std::isfinite(record.amount) && std::fabs(record.amount) <= 1e12;
        scale += std::fabs(record.amount);
    }
    for (const std::int32_t n : parsed.unusableLines)
        FUZZ_CHECK(n >= 1 && std::size_t(n) <= lines.size() && !usable.count(n));
    FUZZ_CHECK(parsed.records.size() + parsed.unusableLines.size() == lines.size());

    // The horizon follows the longest period; a cap keeps each run short.
    const auto horizon = std::min<std::int16_t>(LargestDuration(parsed.records, 120), 600);
    for (const int offset : {0, 1, int(horizon)}) {
        const BudgetInput input{&parsed.records, today, horizon, std::int16_t(offset)};
        const BudgetFigures grouped = Compute(input);
        const BudgetFigures plain = reference::Compute(input);
        FUZZ_CHECK(grouped.monthTotals.size() == std::size_t(horizon) + 1);
        CheckDue(grouped, usable, todayIndex, offset);
        CheckSame(grouped, plain, modest, 1e-9 * scale);
        MakeLabels(grouped);
    }
    CheckRows(lines, today);
    return 0;
}
