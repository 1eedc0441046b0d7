#include "core/dates.h"

#include "core/numfmt.h"

namespace kestrow {

namespace {

constexpr long kInt16Max = 32767;

} // namespace

bool DurationInRange(long months)
{
    return months >= 1 && months <= kLongestDuration;
}

bool DateParts::canonical() const
{
    return yearText.size() == 4 && monthText.size() == 2 && dayText.size() == 2 && rest.empty();
}

std::optional<DateParts> SplitDate(std::string_view date)
{
    // The first three dashes in one pass: dates are short, and every record of a large
    // file is taken apart here.
    std::size_t dash[3] = {0, 0, date.size()};
    int found = 0;
    for (std::size_t i = 0; i < date.size() && found < 3; ++i) {
        if (date[i] == '-')
            dash[found++] = i;
    }
    if (found < 2)
        return std::nullopt;
    DateParts parts;
    parts.yearText = date.substr(0, dash[0]);
    parts.monthText = date.substr(dash[0] + 1, dash[1] - dash[0] - 1);
    parts.dayText = date.substr(dash[1] + 1, dash[2] - dash[1] - 1);
    parts.rest = date.substr(dash[2]);
    const auto year = PartValue(parts.yearText);
    const auto month = PartValue(parts.monthText);
    const auto day = PartValue(parts.dayText);
    if (!year || !month || !day)
        return std::nullopt;
    parts.year = *year;
    parts.month = *month;
    parts.day = *day;
    return parts;
}

bool FourDigitYear(std::string_view date)
{
    const std::string_view year = date.substr(0, date.find('-'));
    return year.size() == 4 && AllDigits(year);
}

std::string NormalizeDate(std::string_view text)
{
    const auto parts = SplitDate(text);
    if (!parts || !parts->rest.empty())
        return {};
    return std::string(parts->yearText) + "-" + FormatPadded(parts->month, 2) + "-" +
           FormatPadded(parts->day, 2);
}

std::string AcceptableDate(std::string_view typed)
{
    const auto parts = SplitDate(typed);
    if (!parts || !parts->rest.empty() || !FourDigitYear(parts->yearText) || parts->month < 1 ||
        parts->month > 12 || parts->day < 1 || parts->day > 31)
        return {};
    return NormalizeDate(typed);
}

bool IsTodayDate(std::string_view text)
{
    return !text.empty() && AcceptableDate(text) == text;
}

// The rule: while the year is before today's, the month moves on by the period (a month
// count above 16 bits is refused); a period shorter than a year is then brought to the
// first month of its rhythm that is not before today's month. Each repetition is counted
// out in one step, so a tiny period over a long gap costs no more than a large one.
std::optional<SteppedDate> StepNumbers(long y, long m, long d, long months, long ty, long tm)
{
    if (!DurationInRange(months))
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
    const auto today = SplitDate(todayDate);
    const auto parts = SplitDate(date);
    if (!today || !parts)
        return {};
    const auto step =
        StepNumbers(parts->year, parts->month, parts->day, months, today->year, today->month);
    if (!step)
        return {};
    return std::to_string(step->year) + "-" + FormatPadded(step->month, 2) + "-" +
           (step->limited ? std::to_string(step->day) : std::string(parts->dayText)) +
           std::string(parts->rest);
}

std::optional<std::int32_t> DateKey(std::string_view date)
{
    std::string digits;
    digits.reserve(date.size());
    for (const char c : date) {
        if (c != '-')
            digits += c;
    }
    const auto value = DigitsValue(digits, INT32_MAX);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::string YearMonthText(std::int64_t year, std::int64_t month)
{
    // month is at least 1 here; carrying by division rather than a loop keeps huge
    // periods as quick as small ones.
    year += (month - 1) / 12;
    month = (month - 1) % 12 + 1;
    return FormatPadded(long(year), 4) + "-" + FormatPadded(long(month), 2);
}

std::optional<std::string> PaidDate(std::string_view todayDate, std::int64_t months)
{
    const auto today = SplitDate(todayDate);
    std::int64_t monthCount = 0;
    if (!today || months < 0 || today->month < 1 ||
        __builtin_add_overflow(std::int64_t(today->month), months, &monthCount))
        return std::nullopt;
    return YearMonthText(today->year, monthCount) + "-" + std::string(today->dayText);
}

std::optional<Today> TodayFromSystemText(std::string_view text)
{
    // mm-dd-yyyy: the last four characters, the first two, and the two from the fourth.
    if (text.size() != 10 || text[2] != '-' || text[5] != '-')
        return std::nullopt;
    Today today;
    today.date = std::string(text.substr(6, 4)) + "-" + std::string(text.substr(0, 2)) + "-" +
                 std::string(text.substr(3, 2));
    if (!IsTodayDate(today.date))
        return std::nullopt;
    today.month = *PartValue(text.substr(0, 2));
    return today;
}

} // namespace kestrow
