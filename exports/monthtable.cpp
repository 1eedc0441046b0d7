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
    const std::size_t months = whole.monthTotals.size();
    std::vector<double> due(months, 0.0);
    std::vector<std::size_t> payments(months, 0);
    ForEachDue(budget, budget.horizonMonths, [&](int offset, const DueEntry& entry) {
        due[std::size_t(offset)] += entry.amount;
        ++payments[std::size_t(offset)];
    });

    std::string out = "month,pot,due,payments,setAside\r\n";
    for (std::size_t offset = 0; offset < months; ++offset) {
        out += ShownMonth(budget.todayDate, int(offset)) + ',' +
               PlainNumber(whole.monthTotals[offset]) + ',' + PlainNumber(due[offset]) + ',' +
               std::to_string(payments[offset]) + ',' + PlainNumber(whole.monthlyRequired) + "\r\n";
    }
    return out;
}

} // namespace kestrow
