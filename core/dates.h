#pragma once
// Dates are text of the form YYYY-MM-DD and never a calendar type: Kestrow only works in
// whole months (every payment falls on the first of its month). Input outside a helper's
// domain (a part that is empty, not a whole number or beyond 16 bits, a period below 1)
// gives the invalid result instead of stopping.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

// The value of a part made of decimal digits only, within the 16-bit signed range.
std::optional<std::int16_t> PartValue(std::string_view part);

// Three parts joined by "-": the year as typed, month and day with at least two digits.
// Empty when the text is not three parts or month or day is not a whole number.
std::string NormalizeDate(std::string_view text);

// A stored date moved on to its next occurrence: the numbers behind StepDate.
struct SteppedDate
{
    long year = 0;
    long month = 0;
    long day = 0;
    bool limited = false; // the day was cut to the length of a short month
};
// Nullopt when months is outside 1 to 32767 or the arithmetic leaves 16 bits.
std::optional<SteppedDate> StepNumbers(long year, long month, long day, long months, long todayYear,
                                       long todayMonth);

// The payment's next occurrence as seen from todayDate (YYYY-MM-DD): the year and month
// moved on, the day cut to a short month's length, any further part kept as written.
// Empty when the date is not three or more numeric parts, months is below 1, or the
// arithmetic leaves 16 bits.
std::string StepDate(std::string_view date, int months, std::string_view todayDate);

// The date's digits as one number: 2026-03-01 gives 20260301. Nullopt when the text
// without its dashes is not a number that fits 32 bits.
std::optional<std::int32_t> DateKey(std::string_view date);

// Pay's new date: today's year and month plus `months`, today's day part as written.
// Nothing when todayDate has no numeric year and month, or months is negative or so large
// that the month count would overflow.
std::optional<std::string> PaidDate(std::string_view todayDate, std::int64_t months);

// Year and month from a month count of year * 12 + (month - 1), as "0000-00" (the year with
// at least four digits).
std::string YearMonthText(std::int64_t year, std::int64_t month);

// Today as the program holds it, built from the system date text mm-dd-yyyy.
struct Today
{
    std::string date;       // YYYY-MM-DD
    std::int16_t month = 0; // 1 to 12
};
std::optional<Today> TodayFromSystemText(std::string_view mmddyyyy);

// Whether the date's year (the part before the first "-") has at most four characters.
// Pay and Step write the year with at least four digits; a fifth digit (a date beyond
// 9999) would give a record no month can show.
bool YearFitsFourDigits(std::string_view date);

// YYYY-MM-DD with a month of 01 to 12 and a day of 01 to 31: the form today always has.
bool IsTodayDate(std::string_view text);

} // namespace kestrow
