#include "budget/entryrows.h"

#include "budget/budget.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "core/record.h"
#include "core/text.h"

#include <algorithm>

namespace kestrow {

namespace {

constexpr std::string_view kSeparator = "  ";
constexpr std::size_t kTypeWidth = 3;
constexpr std::size_t kAmountWidth = 8;
constexpr std::size_t kDurationWidth = 4;
constexpr std::size_t kNumberWidth = 6;

std::string AmountKey(std::string_view amount)
{
    if (const auto value = ParseAmount(amount))
        return FormatAmount(*value);
    // Not a number: shown as stored rather than as a made-up value.
    return std::string(amount);
}

// A whole number is shown by its value, so that leading zeros or blanks cannot put it out
// of numeric order; any other text is shown as stored.
std::string DurationKey(std::string_view duration)
{
    if (const auto value = ParseWhole(duration))
        return std::to_string(*value);
    return std::string(duration);
}

std::string RightAligned(const std::string& text, std::size_t width)
{
    if (text.size() >= width)
        return text;
    return std::string(width - text.size(), ' ') + text;
}

std::string Joined(std::initializer_list<std::string_view> columns)
{
    std::string row;
    bool first = true;
    for (const auto column : columns) {
        if (!first)
            row += kSeparator;
        row += column;
        first = false;
    }
    return row;
}

} // namespace

std::string ShownDate(std::string_view date, std::string_view duration, std::string_view todayDate)
{
    const auto months = AcceptableDuration(duration);
    if (!months)
        return std::string(date);
    std::string next = StepDate(date, *months, todayDate);
    // Plain byte comparison, as the main computation compares dates; an empty result
    // (a date that cannot be stepped) never wins.
    if (next > date)
        return next;
    return std::string(date);
}

std::vector<EntryRow> EntryRows(const std::vector<std::string>& lines, EntryOrder order,
                                std::string_view todayDate)
{
    struct Parts
    {
        std::vector<std::string> fields; // five or more, missing ones empty; Raw: the line
        std::string shownDate;
        bool utf8 = false;
        std::string key; // right-aligned key before padding
    };
    std::vector<Parts> parts;
    parts.reserve(lines.size());
    std::size_t width = 0;
    std::int32_t number = 0;
    for (const auto& line : lines) {
        ++number;
        Parts p;
        p.utf8 = ValidUtf8(line);
        if (order == EntryOrder::Raw) {
            p.fields.assign(5, std::string());
            p.fields[0] = ShownText(line, kLongestShown, p.utf8);
            p.key = std::to_string(number);
        } else {
            p.fields = SplitFields(line);
            if (p.fields.size() < 5)
                p.fields.resize(5);
            p.shownDate = ShownDate(p.fields[FieldDate], p.fields[FieldDuration], todayDate);
            if (order == EntryOrder::Amount)
                p.key = AmountKey(p.fields[FieldAmount]);
            else if (order == EntryOrder::Duration)
                p.key = DurationKey(p.fields[FieldDuration]);
            // Only so much of a field is shown, however long it is in the file; cut here,
            // a key column cannot grow every row to the length of one field.
            for (std::string* text : {&p.fields[0], &p.fields[1], &p.fields[2], &p.fields[3],
                                      &p.fields[4], &p.shownDate, &p.key})
                *text = ShownText(*text, kLongestShown, p.utf8);
        }
        width = std::max(width, p.key.size());
        parts.push_back(std::move(p));
    }
    switch (order) {
    case EntryOrder::Amount:
        width = std::max(width, kAmountWidth);
        break;
    case EntryOrder::Duration:
        width = std::max(width, kDurationWidth);
        break;
    case EntryOrder::Raw:
        width = std::max(width, kNumberWidth);
        break;
    default:
        break;
    }

    std::vector<EntryRow> rows;
    rows.reserve(lines.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Parts& p = parts[i];
        const auto& f = p.fields;
        const std::string& name = f[FieldName];
        const std::string& type = f[FieldType];
        const std::string& date = p.shownDate;
        const std::string& amount = f[FieldAmount];
        const std::string& duration = f[FieldDuration];
        EntryRow row;
        row.recordNumber = static_cast<std::int32_t>(i + 1);
        switch (order) {
        case EntryOrder::Name:
            row.text = Joined({name, type, date, amount, duration});
            break;
        case EntryOrder::Type:
            // Counted in characters when the line is UTF-8, so a letter of several bytes is
            // never split; an older single-byte line is counted in bytes.
            row.text = Joined({TextColumn(type, kTypeWidth, p.utf8), name, date, amount, duration});
            break;
        case EntryOrder::Date:
            row.text = Joined({date, name, type, amount, duration});
            break;
        case EntryOrder::Amount:
            row.text = Joined({RightAligned(p.key, width), name, type, date, duration});
            break;
        case EntryOrder::Duration:
            row.text = Joined({RightAligned(p.key, width), name, type, date, amount});
            break;
        case EntryOrder::Raw:
            row.text = Joined({RightAligned(p.key, width), f[0]}); // the whole line
            break;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<EntryRow> SortedEntryRows(const std::vector<std::string>& lines, EntryOrder order,
                                      std::string_view todayDate)
{
    std::vector<EntryRow> rows = EntryRows(lines, order, todayDate);
    std::vector<std::string> texts;
    texts.reserve(rows.size());
    for (const auto& row : rows)
        texts.push_back(row.text);
    std::vector<EntryRow> sorted;
    sorted.reserve(rows.size());
    for (const std::size_t i : SortedOrder(texts))
        sorted.push_back(std::move(rows[i]));
    return sorted;
}

} // namespace kestrow
