// Any data file, computed at the first months and the end of the horizon: the grouped
// computation gives the figures of the plain loop in tests/budget_reference.h.
#include "budget/budget.h"
#include "core/datastore.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

using namespace kestrow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Today varies with the input, so month ends, year ends and early years all get runs.
    const std::string today[] = {"2026-03-01", "2026-12-31", "1999-02-28", "2100-06-30"};
    const std::string& now = today[size % 4];
    const auto lines = SplitLines(std::string_view(reinterpret_cast<const char*>(data), size));
    const ParsedFile parsed = ParseLines(lines);
    FUZZ_CHECK(parsed.records.size() + parsed.unusableLines.size() == lines.size());
    double scale = 1;
    for (const UsableRecord& record : parsed.records)
        scale += std::fabs(record.amount);
    const auto near = [scale](double x, double y) {
        return scale > 1e12 || (std::isfinite(x) && std::fabs(x - y) <= 1e-9 * scale);
    };
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
                   near(a.freedAmount, b.freedAmount) && near(a.totalThisMonth, b.totalThisMonth));
        for (std::size_t i = 0; i < a.due.size(); ++i)
            FUZZ_CHECK(a.due[i].recordNumber == b.due[i].recordNumber &&
                       a.due[i].effectiveDate == b.due[i].effectiveDate);
        FUZZ_CHECK(DueLines(a.due).size() == a.due.size());
    }
    return 0;
}
