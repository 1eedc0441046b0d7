#include "budget/potcheck.h"

#include "core/numfmt.h"
#include "core/record.h"
#include "core/text.h"

#include <algorithm>
#include <cmath>

namespace kestrow {

namespace {

// A million billion dollars: far beyond any pot, and its cents still fit 64 bits with room.
constexpr double kLargestPot = 1e15;
constexpr std::int64_t kLargestCents = 100'000'000'000'000'000;

// The amount in whole cents exactly as the figures show it (FormatAmount rounds half a
// cent away from zero on the decimal digits); amounts beyond kLargestPot are held there.
std::int64_t ShownCents(double value)
{
    if (std::isnan(value))
        return 0;
    if (!(std::fabs(value) < kLargestPot))
        return value < 0 ? -kLargestCents : kLargestCents;
    std::int64_t cents = 0;
    bool negative = false;
    for (const char c : FormatAmount(value)) {
        if (c == '-')
            negative = true;
        else if (c >= '0' && c <= '9')
            cents = cents * 10 + (c - '0');
    }
    return negative ? -cents : cents;
}

std::string Money(std::int64_t cents)
{
    return FormatAmount(static_cast<double>(cents) / 100.0);
}

// The payments a verdict names at most: the sentence stays readable however many fall due.
constexpr std::size_t kNamed = 3;

// A payment as the verdict names it: its name, read as the due list reads it, and amount.
std::string Named(const PotPayment& payment)
{
    const std::string name = ValidUtf8(payment.name) ? payment.name : Cp1252ToUtf8(payment.name);
    return ShownText(name, 32, true) + " " + FormatAmount(payment.amount);
}

// ", when Car insurance 600.00 is due". Empty when none is listed (a payment whose first
// date lies further ahead still empties its pot in the rhythm of its cycle).
std::string WhenDue(const PotVerdict& verdict)
{
    const auto& named = verdict.largestDue;
    if (named.empty())
        return {};
    const std::size_t count = verdict.dueCount;
    std::string text = ", when " + Named(named[0]);
    for (std::size_t i = 1; i < named.size(); ++i)
        text += (i + 1 == named.size() && count == named.size() ? " and " : ", ") + Named(named[i]);
    if (count > named.size())
        text += " and " + std::to_string(count - named.size()) + " more";
    return text + (count == 1 ? " is due" : " are due");
}

} // namespace

std::optional<double> PotAmount(std::string_view typed)
{
    const auto amount = AcceptableAmount(typed);
    if (!amount || !(*amount < kLargestPot))
        return std::nullopt;
    return amount;
}

PotCheck::PotCheck(const BudgetInput& input) : input_(input)
{
    input_.monthOffset = 0;
    const BudgetFigures now = Compute(input_);
    monthlyRequired_ = now.monthlyRequired;
    required_ = ShownCents(now.totalThisMonth);
    // The months before the last, those the freed money is the smallest total of.
    const std::size_t months = now.monthTotals.size() - 1;
    need_.reserve(months);
    for (std::size_t i = 0; i < months; ++i)
        need_.push_back(ShownCents(now.monthTotals[i] - now.freedAmount));
    rhythms_ = DueRhythms(input_);
}

PotVerdict PotCheck::verdict(double holds) const
{
    PotVerdict verdict;
    verdict.holds = ShownCents(holds);
    verdict.required = required_;
    verdict.difference = verdict.holds - verdict.required;
    verdict.monthlyRequired = monthlyRequired_;
    verdict.newMonthly = monthlyRequired_;
    if (verdict.onTrack())
        return verdict;

    // Setting aside the monthly amount keeps the pot S below its need in every month, so it
    // first fails where the need beyond the freed money is less than S. At the low point
    // that need is 0, so such a month exists whenever the horizon has a month before its
    // last; without one the pot is short now.
    const std::int64_t shortBy = -verdict.difference;
    std::size_t k = 0;
    while (k < need_.size() && need_[k] >= shortBy)
        ++k;
    if (k == need_.size())
        k = 0;
    verdict.shortOffset = static_cast<int>(k);
    verdict.shortMonth = ShownMonth(input_.todayDate, verdict.shortOffset);
    if (k == 0) {
        verdict.topUpNow = shortBy;
    } else {
        verdict.catchUpMonths = verdict.shortOffset;
        const auto months = static_cast<std::int64_t>(k);
        verdict.catchUpMonthly = (shortBy + months - 1) / months;
        verdict.newMonthly = monthlyRequired_ + static_cast<double>(verdict.catchUpMonthly) / 100.0;
    }
    // The payments due then, without building the due list of a month whose names are
    // mostly not said.
    if (rhythms_.empty())
        return verdict;
    const auto& records = *input_.records;
    std::vector<std::size_t> due;
    for (const DueRhythm& rhythm : rhythms_) {
        if (rhythm.first <= verdict.shortOffset &&
            (verdict.shortOffset - rhythm.first) % rhythm.period == 0)
            due.push_back(rhythm.record);
    }
    const auto largest = due.begin() + std::ptrdiff_t(std::min(due.size(), kNamed));
    std::partial_sort(due.begin(), largest, due.end(), [&](std::size_t a, std::size_t b) {
        return records[a].amount != records[b].amount ? records[a].amount > records[b].amount
                                                      : a < b;
    });
    verdict.dueCount = due.size();
    for (auto at = due.begin(); at != largest; ++at)
        verdict.largestDue.push_back({records[*at].name, records[*at].amount});
    return verdict;
}

std::string VerdictText(const PotVerdict& verdict)
{
    if (verdict.onTrack()) {
        return "The pot holds " + Money(verdict.holds) + " and needs " + Money(verdict.required) +
               " now: " + Money(verdict.difference) + " to spare.";
    }
    const std::string shortBy = Money(-verdict.difference);
    std::string text = shortBy + " short. Kept as it is, the pot runs short in " +
                       verdict.shortMonth + WhenDue(verdict) + ". ";
    if (verdict.shortOffset == 0)
        return text + "Add " + shortBy + " now.";
    text += "Set aside " + FormatAmount(verdict.newMonthly) + " a month instead of " +
            FormatAmount(verdict.monthlyRequired) + " for the next ";
    text += verdict.catchUpMonths == 1 ? std::string("month")
                                       : std::to_string(verdict.catchUpMonths) + " months";
    return text + ", through " + verdict.shortMonth + ".";
}

std::string LowPointText(const BudgetFigures& figures, std::string_view todayDate)
{
    const auto& totals = figures.monthTotals;
    if (totals.size() < 2)
        return {};
    const auto low = std::min_element(totals.begin(), totals.end() - 1);
    return "The pot never needs to hold less than " + FormatAmount(*low) +
           "; its lowest need is in " + ShownMonth(todayDate, int(low - totals.begin())) + ".";
}

} // namespace kestrow
