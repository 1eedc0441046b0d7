#pragma once
// The monthly requirement the plain way: every record, every month, dates stepped a round
// at a time. Slow but obvious; the program is checked against it (tests, fuzzing, benchmark).

#include "budget/budget.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "core/text.h"

#include <algorithm>
#include <cmath>

namespace reference {

// The step rule with its loops written out.
inline std::string StepDate(std::string_view date, int months, std::string_view todayDate)
{
    const auto today = kestrow::SplitText(todayDate, '-');
    const auto parts = kestrow::SplitText(date, '-');
    if (months < 1 || months > 32767 || today.size() < 2 || parts.size() < 3)
        return {};
    const auto ty = kestrow::PartValue(today[0]), tm = kestrow::PartValue(today[1]);
    const auto y0 = kestrow::PartValue(parts[0]), m0 = kestrow::PartValue(parts[1]);
    const auto d0 = kestrow::PartValue(parts[2]);
    if (!ty || !tm || !y0 || !m0 || !d0)
        return {};
    long y = *y0, m = *m0, d = *d0;
    while (*ty > y) {
        if ((m += months) > 32767)
            return {};
        for (; m > 12; m -= 12)
            ++y;
    }
    if (months < 12) {
        while (m > 0)
            m -= months;
        while (m < *tm)
            m += months;
        for (; m > 12; m -= 12)
            ++y;
    }
    if (y > 32767)
        return {};
    const long longest = m == 2 ? 28 : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : d;
    std::string result = std::to_string(y) + "-" + kestrow::FormatPadded(m, 2) + "-" +
                         (d > longest ? std::to_string(longest) : parts[2]);
    for (std::size_t i = 3; i < parts.size(); ++i)
        result += "-" + parts[i];
    return result;
}

inline kestrow::BudgetFigures Compute(const kestrow::BudgetInput& input)
{
    kestrow::BudgetFigures figures;
    const int horizon = std::max<int>(input.horizonMonths, 0);
    const int offset = std::clamp<int>(input.monthOffset, 0, horizon);
    auto& totals = figures.monthTotals;
    totals.assign(std::size_t(horizon) + 1, 0.0);
    const bool today = kestrow::IsTodayDate(input.todayDate);
    const int todayYear = today ? std::stoi(input.todayDate.substr(0, 4)) : 0;
    const int todayMonth = today ? std::stoi(input.todayDate.substr(5, 2)) : 0;
    const int shown = todayYear * 12 + (todayMonth - 1) + offset;
    if (today) {
        figures.shownMonth =
            kestrow::FormatPadded(shown / 12, 4) + "-" + kestrow::FormatPadded(shown % 12 + 1, 2);
        figures.dueMonthKey = kestrow::DateKey(figures.shownMonth + "-99").value_or(0);
    }
    static const std::vector<kestrow::UsableRecord> none;
    for (const auto& record : input.records ? *input.records : none) {
        const int duration = record.duration;
        const std::string stepped = today ? StepDate(record.date, duration, input.todayDate) : "";
        const std::string& effective = stepped >= record.date ? stepped : record.date;
        const auto parts = kestrow::SplitText(effective, '-');
        const auto year = parts[0].size() == 4 ? kestrow::PartValue(parts[0]) : std::nullopt;
        const auto month = parts.size() >= 2 ? kestrow::PartValue(parts[1]) : std::nullopt;
        const auto key = kestrow::DateKey(effective);
        if (stepped.empty() || !year || !month || !key) {
            figures.skippedRecords.push_back(record.recordNumber);
            continue;
        }
        const double share = record.amount / duration;
        figures.monthlyRequired += share;
        std::int32_t dueLag = (*year * 12 + *month) - (todayYear * 12 + todayMonth);
        while (dueLag < 0)
            dueLag += duration;
        while (dueLag > duration)
            dueLag -= duration;
        for (int i = 0; i <= horizon; ++i) {
            const double phase =
                std::fmod(std::fmod(i - dueLag, double(duration)) + duration, double(duration));
            totals[std::size_t(i)] += share * phase;
            if (i == offset && phase == 0 && *key < figures.dueMonthKey) {
                figures.billsDue += record.amount;
                figures.due.push_back(
                    {record.recordNumber, effective, record.amount, record.type, record.name});
            }
        }
    }
    figures.freedAmount = horizon > 0 ? *std::min_element(totals.begin(), totals.end() - 1) : 0;
    figures.netRequirement = totals[std::size_t(offset)] - figures.freedAmount;
    figures.totalThisMonth = figures.netRequirement + figures.billsDue;
    return figures;
}

} // namespace reference
