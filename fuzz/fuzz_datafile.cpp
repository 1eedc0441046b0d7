// Any data file, read as Kestrow reads it: the grouped computation gives the figures of the
// plain loop in tests/budget_reference.h, at any size of amount.
#include "budget/budget.h"
#include "core/datastore.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

#include <cmath>

using namespace kestrow;

// Equal but for rounding, which grows with the sum of every amount (`scale`); sums too
// large for a double give the same infinity or NaN on both sides.
static bool Near(double x, double y, long double scale)
{
    if (std::isnan(x) || std::isnan(y))
        return std::isnan(x) && std::isnan(y);
    if (std::isinf(x) || std::isinf(y))
        return x == y;
    return std::fabs(static_cast<long double>(x) - y) <= 1e-9L * scale;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Today varies with the input, so month ends, year ends and early years all get runs.
    const std::string today[] = {"2026-03-01", "2026-12-31", "1999-02-28", "2100-06-30"};
    const std::string& now = today[size % 4];
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedFile parsed = ParseText(text);
    // The quick reading of the whole file agrees with the reading of each line on its own.
    const auto lines = SplitLines(text);
    FUZZ_CHECK(parsed.records.size() + parsed.unusableLines.size() == lines.size());
    for (const UsableRecord& record : parsed.records) {
        const auto alone = ParseRecord(lines.at(std::size_t(record.recordNumber) - 1), 0);
        FUZZ_CHECK(alone && alone->name == record.name && alone->type == record.type &&
                   alone->date == record.date && alone->duration == record.duration &&
                   alone->amount == record.amount);
    }
    for (const std::int32_t line : parsed.unusableLines)
        FUZZ_CHECK(!ParseRecord(lines.at(std::size_t(line) - 1), 0));

    long double scale = 1;
    for (const UsableRecord& record : parsed.records)
        scale += std::fabs(record.amount);
    const auto near = [scale](double x, double y) { return Near(x, y, scale); };
    // The horizon follows the longest period; a cap keeps each run short.
    const auto horizon = std::min<std::int16_t>(LargestDuration(parsed.records, 120), 600);
    for (const int offset : {0, 1, int(horizon)}) {
        const BudgetInput input{&parsed.records, now, horizon, std::int16_t(offset)};
        const BudgetFigures a = Compute(input), b = reference::Compute(input);
        FUZZ_CHECK(a.shownMonth == b.shownMonth && a.skippedRecords == b.skippedRecords &&
                   a.due.size() == b.due.size() && a.monthTotals.size() == b.monthTotals.size());
        for (std::size_t i = 0; i < a.monthTotals.size(); ++i)
            FUZZ_CHECK(near(a.monthTotals[i], b.monthTotals[i]));
        FUZZ_CHECK(near(a.monthlyRequired, b.monthlyRequired) && near(a.billsDue, b.billsDue) &&
                   near(a.freedAmount, b.freedAmount) && near(a.netRequirement, b.netRequirement) &&
                   near(a.totalThisMonth, b.totalThisMonth));
        for (std::size_t i = 0; i < a.due.size(); ++i)
            FUZZ_CHECK(a.due[i].recordNumber == b.due[i].recordNumber &&
                       a.due[i].effectiveDate == b.due[i].effectiveDate);
    }
    return 0;
}
