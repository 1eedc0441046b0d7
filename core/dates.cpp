#include "core/dates.h"

#include "core/numfmt.h"
#include "core/text.h"

#include <algorithm>

namespace kestrow {

namespace {

constexpr long kInt16Max = 32767;

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::optional<std::int16_t> PartValue(std::string_view part)
{
    if (part.empty())
        return std::nullopt;
    int value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kInt16Max)
            return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

std::string NormalizeDate(std::string_view text)
{
    const auto parts = SplitText(text, '-');
    if (parts.size() != 3)
        return {};
    const auto month = PartValue(parts[1]);
    const auto day = PartValue(parts[2]);
    if (!month || !day)
        return {};
    return parts[0] + "-" + FormatPadded(*month, 2) + "-" + FormatPadded(*day, 2);
}

// The rule: while the year is before today's, the month moves on by the period (a month
// count above 16 bits is refused); a period shorter than a year is then brought to the
// first month of its rhythm that is not before today's month. Each repetition is counted
// out in one step, so a tiny period over a long gap costs no more than a large one.
std::optional<SteppedDate> StepNumbers(long y, long m, long d, long months, long ty, long tm)
{
    if (months < 1 || months > kInt16Max)
        return std::nullopt;
    if (ty > y) {
        m += months;
        if (m > kInt16Max)
            return std::nullopt;
        if (m > 12) {
            y += (m - 1) / 12;
            m = (m - 1) % 12 + 1;
        }
        if (ty > y && months > kInt16Max - 12) {
            // Each round moves thousands of years, so there are only a few; a round may
            // overflow the month sum, which only these periods can.
            while (ty > y) {
                m += months;
                if (m > kInt16Max)
                    return std::nullopt;
                while (m > 12) {
                    ++y;
                    m -= 12;
                }
            }
        } else if (ty > y) {
            long absolute = y * 12 + (m - 1);
            const long rounds = (ty * 12 - absolute + months - 1) / months;
            absolute += rounds * months;
            y = absolute / 12;
            m = absolute % 12 + 1;
        }
    }
    if (months < 12) {
        if (m > 0)
            m -= ((m + months - 1) / months) * months;
        if (m < tm)
            m += ((tm - m + months - 1) / months) * months;
        if (m > 12) {
            y += (m - 1) / 12;
            m = (m - 1) % 12 + 1;
        }
    }
    if (y > kInt16Max)
        return std::nullopt;

    SteppedDate step{y, m, d, false};
    if (m == 2 && d > 28) {
        step.day = 28;
        step.limited = true;
    } else if ((m == 4 || m == 6 || m == 9 || m == 11) && d > 30) {
        step.day = 30;
        step.limited = true;
    }
    return step;
}

std::string StepDate(std::string_view date, int months, std::string_view todayDate)
{
    const auto today = SplitText(todayDate, '-');
    auto parts = SplitText(date, '-');
    if (today.size() < 2 || parts.size() < 3)
        return {};
    const auto ty = PartValue(today[0]);
    const auto tm = PartValue(today[1]);
    const auto y = PartValue(parts[0]);
    const auto m = PartValue(parts[1]);
    const auto d = PartValue(parts[2]);
    if (!ty || !tm || !y || !m || !d)
        return {};
    const auto step = StepNumbers(*y, *m, *d, months, *ty, *tm);
    if (!step)
        return {};

    std::string result = std::to_string(step->year) + "-" + FormatPadded(step->month, 2) + "-" +
                         (step->limited ? std::to_string(step->day) : parts[2]);
    for (std::size_t i = 3; i < parts.size(); ++i)
        result += "-" + parts[i];
    return result;
}

std::optional<std::int32_t> DateKey(std::string_view date)
{
    std::int64_t value = 0;
    bool any = false;
    for (const char c : date) {
        if (c == '-')
            continue;
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            return std::nullopt;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string YearMonthText(std::int64_t year, std::int64_t month)
{
    // month is at least 1 here; carrying by division rather than a loop keeps huge
    // periods as quick as small ones.
    year += (month - 1) / 12;
    month = (month - 1) % 12 + 1;
    return FormatPadded(long(year), 4) + "-" + FormatPadded(long(month), 2);
}

bool YearFitsFourDigits(std::string_view date)
{
    return date.find('-') <= 4;
}

std::optional<std::string> PaidDate(std::string_view todayDate, std::int64_t months)
{
    const auto parts = SplitText(todayDate, '-');
    if (parts.size() < 3 || months < 0)
        return std::nullopt;
    const auto year = ParseWhole(parts[0]);
    const auto month = ParseWhole(parts[1]);
    std::int64_t monthCount = 0;
    if (!year || !month || *month < 1 || __builtin_add_overflow(*month, months, &monthCount))
        return std::nullopt;
    return YearMonthText(*year, monthCount) + "-" + parts[2];
}

std::optional<Today> TodayFromSystemText(std::string_view text)
{
    // mm-dd-yyyy: the last four characters, the first two, and the two from the fourth.
    if (text.size() != 10 || text[2] != '-' || text[5] != '-')
        return std::nullopt;
    const std::string_view mm = text.substr(0, 2);
    const std::string_view dd = text.substr(3, 2);
    const std::string_view yyyy = text.substr(6, 4);
    const auto month = PartValue(mm);
    const auto day = PartValue(dd);
    const auto year = PartValue(yyyy);
    if (!month || !day || !year || *month < 1 || *month > 12 || *day < 1 || *day > 31)
        return std::nullopt;
    Today today;
    today.date = std::string(yyyy) + "-" + std::string(mm) + "-" + std::string(dd);
    today.month = *month;
    return today;
}

bool IsTodayDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    if (!AllDigits(text.substr(0, 4)) || !AllDigits(text.substr(5, 2)) ||
        !AllDigits(text.substr(8, 2)))
        return false;
    const int month = (text[5] - '0') * 10 + (text[6] - '0');
    const int day = (text[8] - '0') * 10 + (text[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

} // namespace kestrow
