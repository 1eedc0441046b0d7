#include "core/record.h"

#include "core/dates.h"
#include "core/numfmt.h"
#include "core/text.h"

#include <algorithm>

namespace kestrow {

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

namespace {

// ParseRecord into a record of the caller's, which ParseText keeps in place in its list.
bool ParseInto(std::string_view line, std::int32_t recordNumber, UsableRecord& record)
{
    // Taken apart in place: every line of a large file passes through here.
    std::string_view fields[kFieldCount];
    std::size_t start = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        if (start > line.size())
            return false; // fewer than five fields
        const std::size_t bar = line.find(kFieldSeparator, start);
        fields[i] = line.substr(start, bar == line.npos ? line.npos : bar - start);
        start = bar == line.npos ? line.size() + 1 : bar + 1;
    }
    const auto date = SplitDate(fields[FieldDate]);
    if (!date || !date->rest.empty())
        return false;
    const auto amount = ParseAmount(fields[FieldAmount]);
    const auto duration = AcceptableDuration(fields[FieldDuration]);
    if (!amount || !duration)
        return false;

    record.recordNumber = recordNumber;
    record.name = fields[FieldName];
    record.type = fields[FieldType];
    record.date = fields[FieldDate];
    record.amount = *amount;
    record.duration = *duration;
    return true;
}

} // namespace

std::optional<UsableRecord> ParseRecord(std::string_view line, std::int32_t recordNumber)
{
    UsableRecord record;
    if (!ParseInto(line, recordNumber, record))
        return std::nullopt;
    return record;
}

ParsedFile ParseText(std::string_view contents)
{
    ParsedFile parsed;
    parsed.records.reserve(std::size_t(std::count(contents.begin(), contents.end(), '\n')) + 1);
    std::int32_t number = 0;
    ForEachLine(contents, [&](std::string_view line) {
        if (!ParseInto(line, ++number, parsed.records.emplace_back())) {
            parsed.records.pop_back();
            parsed.unusableLines.push_back(number);
        }
    });
    return parsed;
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

std::optional<double> AcceptableAmount(std::string_view typed)
{
    // A negative amount would not sort by its value in the entry list.
    const auto amount = ParseAmount(typed);
    if (!amount || *amount < 0)
        return std::nullopt;
    return amount;
}

std::optional<std::int16_t> AcceptableDuration(std::string_view typed)
{
    const auto months = ParseWhole(typed);
    if (!months || !DurationInRange(*months))
        return std::nullopt;
    return static_cast<std::int16_t>(*months);
}

FieldCheck CheckTypedFields(const std::array<std::string, kFieldCount>& fields,
                            std::string_view todayDate)
{
    for (int i = 0; i < kFieldCount; ++i) {
        if (fields[i].find_first_not_of(" \t") == std::string::npos)
            return {FieldFault::Empty, i};
    }
    for (int i = 0; i < kFieldCount; ++i) {
        if (fields[i].find(kFieldSeparator) != std::string::npos)
            return {FieldFault::Separator, i};
        if (HasLineBreak(fields[i]))
            return {FieldFault::LineBreak, i};
    }
    const std::string date = AcceptableDate(fields[FieldDate]);
    if (date.empty())
        return {FieldFault::Date, FieldDate};
    if (!AcceptableAmount(fields[FieldAmount]))
        return {FieldFault::Amount, FieldAmount};
    const auto months = AcceptableDuration(fields[FieldDuration]);
    // A period too long to move this date on within the months Kestrow counts would give
    // a record no month can show.
    if (!months || StepDate(date, *months, todayDate).empty())
        return {FieldFault::Duration, FieldDuration};
    return {};
}

std::optional<std::string> SteppedLine(std::string_view line)
{
    auto fields = SplitFields(line);
    if (fields.size() < kFieldCount)
        return std::nullopt;
    const auto date = SplitDate(fields[FieldDate]);
    if (!date)
        return std::nullopt;
    fields[FieldDate] = YearMonthText(date->year, std::int64_t(date->month) + 1) + "-" +
                        std::string(date->dayText) + std::string(date->rest);
    return JoinFields(fields);
}

std::optional<PayTerms> PayTermsOf(std::string_view line, std::string_view todayDate)
{
    const auto fields = SplitFields(line);
    if (fields.size() < kFieldCount)
        return std::nullopt;
    const auto duration = AcceptableDuration(fields[FieldDuration]);
    const auto amount = ParseAmount(fields[FieldAmount]);
    if (!duration || !amount)
        return std::nullopt;
    auto date = PaidDate(todayDate, *duration);
    if (!date)
        return std::nullopt;
    return PayTerms{*duration, *amount, std::move(*date)};
}

std::string PaidLine(std::string_view line, const PayTerms& terms, double newAmount)
{
    auto fields = SplitFields(line);
    if (fields.size() < kFieldCount)
        return std::string(line);
    fields[FieldDate] = terms.newDate;
    if (newAmount != terms.amount)
        fields[FieldAmount] = FormatAmount(newAmount);
    return JoinFields(fields);
}

} // namespace kestrow
