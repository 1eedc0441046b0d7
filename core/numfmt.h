#pragma once
// Number texts of Kestrow. The patterns always use "," to group thousands and "." before
// the decimals, whatever the user's locale, so a data file reads back on any machine.
// Amounts are doubles throughout and are rounded to cents only here.

#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

// "#,###.00": 1234.5 -> "1,234.50", 0.5 -> ".50", 0 -> ".00", -2 -> "-2.00".
std::string FormatAmount(double value);
// "#,###.00 ": the amount pattern with one trailing blank, used by the main window's figures.
std::string FormatFigure(double value);
// "$#####.00": no grouping, no leading zero: 600 -> "$600.00", 0 -> "$.00".
std::string FormatDollars(double value);
// "#,###,##0.00": at least one integer digit: 0.5 -> "0.50".
std::string FormatDialogAmount(double value);
// "0000" and "00": zero-padded whole numbers.
std::string FormatPadded(long value, int digits);

// An amount text as the data file and the forms hold it: optional blanks around it, an
// optional sign, digits with grouping commas inside the integer part, an optional "."
// with decimals. Nullopt for anything else (empty, "1.2.3", ".", "1e5", "nan"), so a
// text that is not a number is never read as 0.
std::optional<double> ParseAmount(std::string_view text);

// Reading digits: every whole number Kestrow reads (a duration, the parts of a date, a
// count on the command line) goes through these two, so no reader takes a sign, a blank
// inside or a digit of another script that another refuses.
// One or more of "0" to "9" and nothing else.
inline bool AllDigits(std::string_view text)
{
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return !text.empty();
}

// The value of such a text when it is at most `largest`; nullopt for any other text.
// Written here so that it is inlined: every date of a large file is read through it.
inline std::optional<long> DigitsValue(std::string_view text, long largest)
{
    if (text.empty())
        return std::nullopt;
    const long tenth = largest / 10;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value > tenth || value * 10 > largest - digit)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// A stored whole number: the digits with optional blanks around them, as long as the value
// fits 32 bits; nullopt otherwise.
std::optional<long> ParseWhole(std::string_view text);

} // namespace kestrow
