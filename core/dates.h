#pragma once
// Dates are text of the form YYYY-MM-DD and never a calendar type: Kestrow only works in
// whole months (every payment falls on the first of its month). These are the shared date
// helpers of modMain. Input outside their domain (a part that is empty, not a whole number
// or beyond 16 bits, a period below 1) gives the invalid result instead of stopping.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// Splits at every occurrence of sep; "a--b" gives three parts, the middle one empty.
std::vector<std::string> SplitText(std::string_view text, char sep);

// The value of a part made of decimal digits only, within the 16-bit signed range.
std::optional<std::int16_t> PartValue(std::string_view part);

// Three parts joined by "-": the year as typed, month and day with at least two digits.
// Empty when the text is not three parts or month or day is not a whole number.
std::string NormalizeDate(std::string_view text);

// The payment's next occurrence as seen from todayDate (YYYY-MM-DD). Empty when the date
// is not three numeric parts, months is below 1, or the arithmetic leaves 16 bits.
std::string StepDate(std::string_view date, int months, std::string_view todayDate);

// The date's digits as one number: 2026-03-01 gives 20260301. Nullopt when the text
// without its dashes is not a number that fits 32 bits.
std::optional<std::int32_t> DateKey(std::string_view date);

// A remainder of a / b that is never negative (b at least 1).
double PositiveMod(double a, double b);

// Today as the program holds it, built from the system date text mm-dd-yyyy.
struct Today
{
    std::string date;        // YYYY-MM-DD
    std::int16_t month = 0;  // 1 to 12
};
std::optional<Today> TodayFromSystemText(std::string_view mmddyyyy);

} // namespace kestrow
