#pragma once
// One payment: one line of the data file, the fields Name|Type|Date|Amount|Duration.
// Fields beyond the fifth are carried through unchanged by Pay and Step.

#include "core/dates.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

inline constexpr char kFieldSeparator = '|';
inline constexpr int kFieldCount = 5;
// The months looked ahead when no payment has a longer period.
inline constexpr std::int16_t kDefaultHorizon = 120;

enum Field { FieldName = 0, FieldType = 1, FieldDate = 2, FieldAmount = 3, FieldDuration = 4 };

std::vector<std::string> SplitFields(std::string_view line);
std::string JoinFields(const std::vector<std::string>& fields);

// A record the computations can use: at least five fields, a date of three numeric parts,
// an amount that is a number and a whole-number duration from 1 to 32767. Any other line
// is kept in the file as it is and left out of every computation.
struct UsableRecord
{
    std::int32_t recordNumber = 0;
    std::string name;
    std::string type;
    std::string date;
    double amount = 0;
    std::int16_t duration = 1;
};

std::optional<UsableRecord> ParseRecord(std::string_view line, std::int32_t recordNumber);

// Every line of the data file, with the record numbers of those that cannot be used.
struct ParsedFile
{
    std::vector<UsableRecord> records;
    std::vector<std::int32_t> unusableLines;
};
ParsedFile ParseLines(const std::vector<std::string>& lines);
// The same, straight from the file's bytes.
ParsedFile ParseText(std::string_view contents);

// The largest duration of the usable records, at least `floor`.
std::int16_t LargestDuration(const std::vector<UsableRecord>& records, std::int16_t floor);

// ---------------------------------------------------------------------------------------
// Typed fields: the one rule both record forms apply before a record reaches the file.

// (The date a form stores is AcceptableDate, core/dates.h.)
// A number that is not negative (grouping commas allowed).
std::optional<double> AcceptableAmount(std::string_view typed);
// A stored whole number of months that is DurationInRange: the rule for every duration
// Kestrow reads, typed or stored.
std::optional<std::int16_t> AcceptableDuration(std::string_view typed);

enum class FieldFault { None, Empty, Separator, LineBreak, Date, Amount, Duration };
struct FieldCheck
{
    FieldFault fault = FieldFault::None;
    int field = -1; // the first field at fault
    explicit operator bool() const { return fault == FieldFault::None; }
};
// Whether five typed fields make a record every part of Kestrow can read back: none empty
// (blanks aside), no "|" or line break anywhere, then the date, the amount and the
// duration in that order, and a date that can be moved on by its period from todayDate.
FieldCheck CheckTypedFields(const std::array<std::string, kFieldCount>& fields,
                            std::string_view todayDate);

// ---------------------------------------------------------------------------------------
// Pay and Step on a stored line. Month sums are done in 64 bits, so no stored duration can
// overflow them.

// Step: the stored year and month moved on by one month; the year written with at least
// four digits, the month with two, the day part and any further part kept as written.
// Nothing when the line has fewer than five fields or SplitDate refuses its date.
std::optional<std::string> SteppedLine(std::string_view line);

// What Pay asks the user about: the period and the stored amount. Nothing when the line
// cannot be paid (fewer than five fields, a duration that AcceptableDuration refuses, an
// amount that is not a number, or a new date that cannot be written); Pay then writes it
// back unchanged.
struct PayTerms
{
    std::int16_t months = 0;
    double amount = 0;
    std::string newDate;
};
std::optional<PayTerms> PayTermsOf(std::string_view line, std::string_view todayDate);
// The line after Pay: the new date, and the amount rewritten only when the user confirmed
// a different one (otherwise the stored text stays as it was, whatever its form).
std::string PaidLine(std::string_view line, const PayTerms& terms, double newAmount);

} // namespace kestrow
