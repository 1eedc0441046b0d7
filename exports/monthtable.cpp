#include "exports/exports.h"

#include "budget/budget.h"
#include "core/numfmt.h"

#include <algorithm>
#include <cmath>

namespace kestrow {

namespace {

// Two decimals after a point and no grouping, whatever the reader's locale: the one number
// form every spreadsheet reads. Rounded as every figure Kestrow shows is.
std::string PlainNumber(double value)
{
    if (!std::isfinite(value))
        return {};
    std::string text = FormatDialogAmount(value);
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return text;
}

} // namespace

std::string MonthTable(const ExportInput& input)
{
    static const std::vector<UsableRecord> none;
    BudgetInput budget;
    budget.records = input.records ? input.records : &none;
    budget.todayDate = input.todayDate;
    budget.horizonMonths = std::max<std::int16_t>(input.horizonMonths, 0);
    const BudgetFigures whole = Compute(budget);

    std::string out = "month,pot,due,payments,setAside\r\n";
    for (int offset = 0; offset <= budget.horizonMonths; ++offset) {
        // The totals are the same at every offset; only the due list and the month's name
        // change, and they do not need the totals of later months.
        BudgetInput month = budget;
        month.horizonMonths = static_cast<std::int16_t>(offset);
        month.monthOffset = static_cast<std::int16_t>(offset);
        const BudgetFigures figures = Compute(month);
        out += figures.shownMonth + ',' +
               PlainNumber(whole.monthTotals[static_cast<std::size_t>(offset)]) + ',' +
               PlainNumber(figures.billsDue) + ',' + std::to_string(figures.due.size()) + ',' +
               PlainNumber(whole.monthlyRequired) + "\r\n";
    }
    return out;
}

} // namespace kestrow
