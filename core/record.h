#pragma once
// One payment: one line of the data file, the fields Name|Type|Date|Amount|Duration.
// Fields beyond the fifth are carried through unchanged by Pay and Step.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

inline constexpr char kFieldSeparator = '|';

enum Field { FieldName = 0, FieldType = 1, FieldDate = 2, FieldAmount = 3, FieldDuration = 4 };

struct PaymentRecord
{
    std::string Name;
    std::string Type;
    std::string Date;
    std::string Amount;
    std::string Duration;

    std::string line() const; // the five fields joined with "|"
};

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

// The largest duration of the usable records, at least `floor`.
std::int16_t LargestDuration(const std::vector<UsableRecord>& records, std::int16_t floor);

} // namespace kestrow
