#pragma once
// Dates are text of the form YYYY-MM-DD and never a calendar type. Kestrow counts in whole
// months: a payment belongs to the month of its date and recurs every so many months. Its
// day is kept as written (cut to the length of a short month when the date moves on); only
// the calendar export places the payment on that day. Input outside a helper's domain (a
// part that is empty, not a whole number or beyond 16 bits, a period below 1) gives the
// invalid result instead of stopping.
//
// Each rule about dates is written once, here, and every reader and writer of a date calls
// it: SplitDate takes a date apart, FourDigitYear is the year limit, DurationInRange the
// periods a payment can have, and AcceptableDate the dates a record form stores.

#include "core/numfmt.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

// Durations are 16-bit throughout Kestrow: the longest period a payment can have.
inline constexpr int kLongestDuration = 32767;
// The periods a payment can have: 1 to kLongestDuration months.
bool DurationInRange(long months);

// The value of a date part made of decimal digits only, within the 16-bit signed range.
inline std::optional<std::int16_t> PartValue(std::string_view part)
{
    const auto value = DigitsValue(part, INT16_MAX);
    if (!value)
        return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

// A date split at "-": year, month and day as numbers and as written. Any further parts
// stay as written in `rest`, with their leading "-"; it is empty for a date of three parts.
struct DateParts
{
    std::int16_t year = 0;
    std::int16_t month = 0;
    std::int16_t day = 0;
    std::string_view yearText;
    std::string_view monthText;
    std::string_view dayText;
    std::string_view rest;
    // Four, two and two digits and nothing more, the form every writer of the program
    // produces: such dates order as text exactly as they order as dates.
    bool canonical() const;
};
// Nothing when the date has fewer than three parts or its year, month or day is not a
// PartValue.
std::optional<DateParts> SplitDate(std::string_view date);

// The year limit: the date's year, the part before its first "-", is exactly four digits.
// The computation reads the year as the first four characters of a date, so a record with
// another year is kept in the file but shows in no month.
bool FourDigitYear(std::string_view date);

// Three parts joined by "-": the year as typed, month and day with at least two digits.
// Empty when the date is not three whole-number parts.
std::string NormalizeDate(std::string_view text);

// The date as a record form stores it: normalised, with a year of four digits, a month
// from 1 to 12 and a day from 1 to 31. Empty when the typed text is no such date.
std::string AcceptableDate(std::string_view typed);

// Whether the text is a date a record form stores unchanged (YYYY-MM-DD, the ranges
// above): the only form the computation and kestrow-report take for today.
bool IsTodayDate(std::string_view text);

// A stored date moved on to its next occurrence: the numbers behind StepDate.
struct SteppedDate
{
    long year = 0;
    long month = 0;
    long day = 0;
    bool limited = false; // the day was cut to the length of a short month
};
// Nothing when months is not DurationInRange or the arithmetic leaves 16 bits.
std::optional<SteppedDate> StepNumbers(long year, long month, long day, long months, long todayYear,
                                       long todayMonth);

// The payment's next occurrence as seen from todayDate (YYYY-MM-DD): the year and month
// moved on, the day cut to a short month's length, any further part kept as written.
// Empty when SplitDate refuses the date or today, months is not DurationInRange, or the
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

} // namespace kestrow
