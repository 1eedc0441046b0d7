#pragma once
// The monthly requirement the plain way: every record, every month, dates stepped a round
// at a time, with date and number helpers of its own. Slow but obvious; the program is
// checked against it (tests, fuzzing, benchmark).

#include "budget/budget.h"

#include <algorithm>
#include <cmath>

namespace reference {

// A year, month or day holds 16 bits, and so does the month count of a step.
constexpr long long kPartMost = 32767;

inline std::vector<std::string> Split(std::string_view text, char separator)
{
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}
inline bool Digits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}
// Digits without their leading zeros, as a number; nothing beyond `most`.
inline std::optional<long long> Number(const std::string& digits, long long most)
{
    const std::string significant =
        digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    if (!Digits(digits) || significant.size() > 10 || std::stoll("0" + significant) > most)
        return std::nullopt;
    return std::stoll("0" + significant);
}
// The date's digits read as one number within 32 bits, its dashes left out.
inline std::optional<long long> Key(const std::string& date)
{
    std::string digits = date;
    std::erase(digits, '-');
    return Number(digits, INT32_MAX);
}
inline std::string Padded(long long value, std::size_t digits)
{
    const std::string text = std::to_string(value);
    return std::string(digits - std::min(digits, text.size()), '0') + text;
}
// YYYY-MM-DD with a month of 1 to 12 and a day of 1 to 31.
inline bool TodayLike(const std::string& text)
{
    const auto parts = Split(text, '-');
    if (text.size() != 10 || parts.size() != 3 || parts[0].size() != 4 || parts[1].size() != 2 ||
        !Digits(parts[0]) || !Digits(parts[1]) || !Digits(parts[2]))
        return false;
    const int month = std::stoi(parts[1]), day = std::stoi(parts[2]);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// The step rule with its loops written out.
inline std::string StepDate(std::string_view date, int months, std::string_view todayDate)
{
    const auto today = Split(todayDate, '-');
    const auto parts = Split(date, '-');
    if (months < 1 || months > kPartMost || today.size() < 2 || parts.size() < 3)
        return {};
    const auto ty = Number(today[0], kPartMost), tm = Number(today[1], kPartMost);
    const auto y0 = Number(parts[0], kPartMost);
    const auto m0 = Number(parts[1], kPartMost);
    const auto d0 = Number(parts[2], kPartMost);
    if (!ty || !tm || !y0 || !m0 || !d0)
        return {};
    long long y = *y0, m = *m0, d = *d0;
    while (*ty > y) {
        if ((m += months) > kPartMost)
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
    if (y > kPartMost)
        return {};
    const long long longest = m == 2 ? 28 : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : d;
    std::string result = std::to_string(y) + "-" + Padded(m, 2) + "-" +
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
    const bool today = TodayLike(input.todayDate);
    const int todayYear = today ? std::stoi(input.todayDate.substr(0, 4)) : 0;
    const int todayMonth = today ? std::stoi(input.todayDate.substr(5, 2)) : 0;
    const int shown = todayYear * 12 + (todayMonth - 1) + offset;
    if (today) {
        figures.shownMonth = Padded(shown / 12, 4) + "-" + Padded(shown % 12 + 1, 2);
        figures.dueMonthKey = std::int32_t(Key(figures.shownMonth + "-99").value_or(0));
    }
    static const std::vector<kestrow::UsableRecord> none;
    for (const auto& record : input.records ? *input.records : none) {
        const int duration = record.duration;
        const std::string stepped = today ? StepDate(record.date, duration, input.todayDate) : "";
        const std::string& effective = stepped >= record.date ? stepped : record.date;
        const auto parts = Split(effective, '-');
        const auto year = parts[0].size() == 4 ? Number(parts[0], kPartMost) : std::nullopt;
        const auto month = parts.size() >= 2 ? Number(parts[1], kPartMost) : std::nullopt;
        const auto key = Key(effective);
        if (stepped.empty() || !year || !month || !key) {
            figures.skippedRecords.push_back(record.recordNumber);
            continue;
        }
        const double share = record.amount / duration;
        figures.monthlyRequired += share;
        const long long dueLag = (*year * 12 + *month) - (todayYear * 12 + todayMonth);
        for (int i = 0; i <= horizon; ++i) {
            const long long phase = ((i - dueLag) % duration + duration) % duration;
            totals[std::size_t(i)] += share * double(phase);
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
