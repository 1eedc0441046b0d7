#pragma once
// Kestrow's figures as files that other programs read: the due payments as an iCalendar
// file (RFC 5545) for the user's calendar, and the month totals as a CSV table (RFC 4180)
// for a spreadsheet. Both are built month by month from the same Compute the main window
// calls, so an event exists exactly where the window's due list shows the payment, and a
// row holds exactly the chart's bar. kestrow-report and the main window both call these,
// so the two write the same bytes.

#include "core/record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

struct ExportInput
{
    const std::vector<UsableRecord>* records = nullptr; // file order
    std::string todayDate;                              // YYYY-MM-DD
    std::int16_t horizonMonths = kDefaultHorizon;
};

// The longest range the calendar covers (months after the current one), and the earliest
// reminder (days before a payment).
inline constexpr int kLongestCalendarRange = 1200;
inline constexpr int kLongestReminder = 365;

struct CalendarOptions
{
    int months = kDefaultHorizon;  // the current month and this many after it
    std::optional<int> remindDays; // a display alarm this many days before each payment
    std::int64_t stamp = 0;        // DTSTAMP of every event, seconds since 1970 in UTC
};

// One all-day event per payment due in each month of the range, in the due list's order;
// values outside the ranges above are brought to the nearer end. The UID of an event is
// made of its month and of the payment's type and name (with a count for identical ones),
// so exporting again gives the same UID to the same payment in the same month.
std::string CalendarFile(const ExportInput& input, const CalendarOptions& options);

// A header row and one row per month offset from 0 to the horizon: month, pot, due,
// payments, setAside. Money as plain numbers with two decimals; a total too large to be a
// number leaves its field empty.
std::string MonthTable(const ExportInput& input);

// When the file was last changed, in seconds since 1970 (UTC); nothing when that cannot
// be read. The calendar's DTSTAMP: RFC 5545 defines it as the time the information was
// last revised, and it keeps two exports of an unchanged file identical.
std::optional<std::int64_t> LastChangeTime(const std::string& path);

} // namespace kestrow
