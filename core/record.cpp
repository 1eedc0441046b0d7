#include "record.h"

#include "dates.h"
#include "numfmt.h"

#include <algorithm>

namespace kestrow {

std::string PaymentRecord::line() const
{
    return JoinFields({Name, Type, Date, Amount, Duration});
}

std::vector<std::string> SplitFields(std::string_view line)
{
    return SplitText(line, kFieldSeparator);
}

std::string JoinFields(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += kFieldSeparator;
        line += fields[i];
    }
    return line;
}

std::optional<UsableRecord> ParseRecord(std::string_view line, std::int32_t recordNumber)
{
    const auto fields = SplitFields(line);
    if (fields.size() < 5)
        return std::nullopt;
    const auto dateParts = SplitText(fields[FieldDate], '-');
    if (dateParts.size() != 3)
        return std::nullopt;
    for (const auto& part : dateParts) {
        if (!PartValue(part))
            return std::nullopt;
    }
    const auto amount = ParseAmount(fields[FieldAmount]);
    const auto duration = ParseWhole(fields[FieldDuration]);
    if (!amount || !duration || *duration < 1 || *duration > 32767)
        return std::nullopt;

    UsableRecord record;
    record.recordNumber = recordNumber;
    record.name = fields[FieldName];
    record.type = fields[FieldType];
    record.date = fields[FieldDate];
    record.amount = *amount;
    record.duration = static_cast<std::int16_t>(*duration);
    return record;
}

ParsedFile ParseLines(const std::vector<std::string>& lines)
{
    ParsedFile parsed;
    parsed.records.reserve(lines.size());
    std::int32_t number = 0;
    for (const auto& line : lines) {
        ++number;
        if (auto record = ParseRecord(line, number))
            parsed.records.push_back(std::move(*record));
        else
            parsed.unusableLines.push_back(number);
    }
    return parsed;
}

std::int16_t LargestDuration(const std::vector<UsableRecord>& records, std::int16_t floor)
{
    std::int16_t largest = floor;
    for (const auto& record : records)
        largest = std::max(largest, record.duration);
    return largest;
}

} // namespace kestrow
