#include "dates.h"

#include <cmath>

namespace kestrow {

namespace {

constexpr int kInt16Max = 32767;

std::string TwoDigits(int value)
{
    std::string text = std::to_string(value < 0 ? -value : value);
    if (text.size() < 2)
        text.insert(0, 2 - text.size(), '0');
    return value < 0 ? "-" + text : text;
}

} // namespace

std::vector<std::string> SplitText(std::string_view text, char sep)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        if (at == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

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
    return parts[0] + "-" + TwoDigits(*month) + "-" + TwoDigits(*day);
}

std::string StepDate(std::string_view date, int months, std::string_view todayDate)
{
    if (months < 1 || months > kInt16Max)
        return {};
    const auto today = SplitText(todayDate, '-');
    auto parts = SplitText(date, '-');
    if (today.size() < 2 || parts.size() < 3)
        return {};
    const auto ty = PartValue(today[0]);
    const auto tm = PartValue(today[1]);
    const auto y0 = PartValue(parts[0]);
    const auto m0 = PartValue(parts[1]);
    const auto d0 = PartValue(parts[2]);
    if (!ty || !tm || !y0 || !m0 || !d0)
        return {};

    // Wider integers than the 16 bits the values live in, so an overflow is seen and
    // refused rather than wrapped.
    long y = *y0;
    long m = *m0;
    while (*ty > y) {
        m += months;
        if (m > kInt16Max)
            return {};
        while (m > 12) {
            ++y;
            m -= 12;
        }
    }
    if (months < 12) {
        // The same rhythm (month modulo the period), brought to the first month of it
        // that is not before today's month.
        while (m > 0)
            m -= months;
        while (m < *tm)
            m += months;
        while (m > 12) {
            ++y;
            m -= 12;
        }
    }
    if (y > kInt16Max)
        return {};

    long d = *d0;
    bool limited = false;
    if (m == 2 && d > 28) {
        d = 28;
        limited = true;
    } else if ((m == 4 || m == 6 || m == 9 || m == 11) && d > 30) {
        d = 30;
        limited = true;
    }

    parts[0] = std::to_string(y);
    parts[1] = TwoDigits(static_cast<int>(m));
    if (limited)
        parts[2] = std::to_string(d);
    std::string result = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i)
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

double PositiveMod(double a, double b)
{
    const double r = std::fmod(a, b);
    return std::fmod(r + b, b);
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

} // namespace kestrow
