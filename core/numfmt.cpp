#include "core/numfmt.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kestrow {

namespace {

// The magnitude in whole cents, as decimal digits (at least three) written to `cents`;
// returns how many. Rounded half away from zero on the value's decimal digits: the
// shortest text that reads back as the same double, cut to 15 significant digits. So 1.005
// (stored a hair below) rounds like the 1.005 the user typed, and a sum that is a half
// cent in exact arithmetic is not tipped below it by the last bits of binary error.
// Plain character arrays: every amount of every list goes through here.
constexpr std::size_t kMostCentDigits = 400; // DBL_MAX has 309 whole digits
std::size_t CentDigits(double magnitude, char* cents)
{
    char text[64];
    auto end =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific).ptr;
    const char* e = std::find(static_cast<const char*>(text), static_cast<const char*>(end), 'e');
    const bool point = std::find(static_cast<const char*>(text), e, '.') != e;
    if ((e - text) - (point ? 1 : 0) > 15) {
        end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 14)
                  .ptr;
        e = std::find(static_cast<const char*>(text), static_cast<const char*>(end), 'e');
    }
    char digits[24];
    std::size_t count = 0;
    for (const char* p = text; p < e; ++p) {
        if (*p != '.')
            digits[count++] = *p;
    }
    while (count > 1 && digits[count - 1] == '0')
        --count;
    const char* power = e + 1;
    const bool negativePower = *power == '-';
    if (*power == '-' || *power == '+')
        ++power;
    int exponent = 0;
    std::from_chars(power, end, exponent);
    if (negativePower)
        exponent = -exponent;

    // The digits from 10^exponent down to 10^-2, and the first digit dropped.
    const long kept = long(exponent) + 3;
    std::size_t length = 0;
    char dropped = '0';
    if (kept > 0) {
        for (; length < std::size_t(kept); ++length)
            cents[length] = length < count ? digits[length] : '0';
        if (std::size_t(kept) < count)
            dropped = digits[kept];
    } else if (kept == 0) {
        dropped = digits[0];
    }
    if (length == 0)
        cents[length++] = '0';
    if (dropped >= '5') {
        std::size_t i = length;
        while (i > 0 && cents[i - 1] == '9')
            cents[--i] = '0';
        if (i > 0) {
            ++cents[i - 1];
        } else {
            std::copy_backward(cents, cents + length, cents + length + 1);
            cents[0] = '1';
            ++length;
        }
    }
    if (length < 3) {
        const std::size_t pad = 3 - length;
        std::copy_backward(cents, cents + length, cents + 3);
        std::fill(cents, cents + pad, '0');
        length = 3;
    }
    return length;
}

std::string Build(double value, bool group, bool leadingZero, const char* prefix)
{
    std::string out;
    if (!std::isfinite(value)) {
        if (std::signbit(value) && !std::isnan(value))
            out += '-';
        out += prefix;
        out += std::isnan(value) ? "NaN" : "Infinity";
        return out;
    }
    char cents[kMostCentDigits];
    const std::size_t length = CentDigits(std::fabs(value), cents);
    std::size_t first = 0; // the whole part is cents[first, length - 2), at least one digit
    while (first + 3 < length && cents[first] == '0')
        ++first;
    const std::size_t point = length - 2;
    const bool zero = point - first == 1 && cents[first] == '0';
    if (zero && !leadingZero)
        first = point;
    out.reserve(length + length / 3 + 4);
    if (value < 0 && !(zero && cents[point] == '0' && cents[point + 1] == '0'))
        out += '-';
    out += prefix;
    for (std::size_t i = first; i < point; ++i) {
        if (group && i > first && (point - i) % 3 == 0)
            out += ',';
        out += cents[i];
    }
    out += '.';
    out.append(cents + point, 2);
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string FormatAmount(double value)
{
    return Build(value, true, false, "");
}

std::string FormatFigure(double value)
{
    return FormatAmount(value) + " ";
}

std::string FormatDollars(double value)
{
    return Build(value, false, false, "$");
}

std::string FormatDialogAmount(double value)
{
    return Build(value, true, true, "");
}

std::string FormatPadded(long value, int digits)
{
    // Negated as unsigned: the most negative long has no positive counterpart.
    const unsigned long magnitude =
        value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    std::string text = std::to_string(magnitude);
    if (static_cast<int>(text.size()) < digits)
        text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    return value < 0 ? "-" + text : text;
}

std::optional<double> ParseAmount(std::string_view text)
{
    text = Trim(text);
    // The number without its grouping commas; a text longer than any amount that can be
    // written is read through a string instead.
    char buffer[64];
    std::string longer;
    std::size_t length = 0;
    const auto keep = [&](char c) {
        if (length == sizeof buffer)
            longer.assign(buffer, sizeof buffer);
        if (length < sizeof buffer)
            buffer[length] = c;
        else
            longer += c;
        ++length;
    };
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-')
        keep(text[i++]);
    else if (i < text.size() && text[i] == '+')
        ++i;
    bool digits = false;
    // Grouping commas are accepted between integer digits only.
    bool wholePart = false; // a digit other than 0 before the point
    while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || (text[i] == ',' && digits))) {
        if (text[i] != ',') {
            keep(text[i]);
            digits = true;
            wholePart = wholePart || text[i] != '0';
        }
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        keep(text[i++]);
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            keep(text[i++]);
            digits = true;
        }
    }
    if (!digits || i != text.size())
        return std::nullopt;
    const char* first = length <= sizeof buffer ? buffer : longer.data();
    double value = 0;
    const auto result = std::from_chars(first, first + length, value);
    // Out of range is too large for a double when there is a whole part (refused, like
    // infinity), and otherwise so small that it reads as zero.
    if (result.ec == std::errc::result_out_of_range)
        return wholePart ? std::nullopt : std::optional<double>(0.0);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long> ParseWhole(std::string_view text)
{
    return DigitsValue(Trim(text), 2147483647L);
}

} // namespace kestrow
