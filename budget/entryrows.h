#pragma once
// The rows of the entry list. Each row starts with the key of the chosen order, padded so
// that plain case-insensitive text order (SortedOrder) gives the wanted order; the list
// never sorts by anything but the row text. Rows are built from the raw lines of the data
// file, so any line, however damaged, gives a row and keeps its record number.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

enum class EntryOrder { Name = 0, Type = 1, Date = 2, Amount = 3, Duration = 4, Raw = 5 };

struct EntryRow
{
    std::string text;              // bytes as in the file: decode for display
    std::int32_t recordNumber = 0; // 1-based line number in the data file
};

// The date a row shows: the record's next occurrence when that is later than the stored
// date, otherwise the stored date (also when the record cannot be stepped).
std::string ShownDate(std::string_view date, std::string_view duration, std::string_view todayDate);

// One row per line, in file order. The right-aligned key columns (amount 8, duration 4,
// record number 6 characters) grow for every row when one key is longer, so the columns
// after it stay together. A field (or a Raw line) longer than kLongestShown characters is
// cut short (core/text.h); the file keeps every byte.
std::vector<EntryRow> EntryRows(const std::vector<std::string>& lines, EntryOrder order,
                                std::string_view todayDate);

// The same rows in the order the list shows them.
std::vector<EntryRow> SortedEntryRows(const std::vector<std::string>& lines, EntryOrder order,
                                      std::string_view todayDate);

} // namespace kestrow
