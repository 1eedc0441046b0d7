#include "core/numfmt.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kestrow {

namespace {

struct Split
{
    bool negative = false;
    std::string whole; // integer digits, "0" when the value is below 1
    std::string cents; // exactly two digits
};

// The decimal digits of a finite, non-negative value and the power of ten of the first
// one: the shortest text that reads back as the same double, cut to 15 significant
// digits. Money is rounded on this text rather than on the binary value, so 1.005 (stored
// a hair below) rounds like the 1.005 the user typed, and a sum that is a half cent in
// exact arithmetic is not tipped below it by the last bits of binary error.
void DecimalDigits(double value, std::string& digits, int& exponent)
{
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string_view text(buf, std::size_t(result.ptr - buf));
    std::size_t e = text.find('e');
    if (e - (text.find('.') == std::string_view::npos ? 0 : 1) > 15) {
        result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
        text = std::string_view(buf, std::size_t(result.ptr - buf));
        e = text.find('e');
    }
    digits.clear();
    for (const char c : text.substr(0, e)) {
        if (c != '.')
            digits += c;
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
}

// Rounds to cents, half away from zero, on the decimal digits of the value; every pattern
// rounds through here.
Split SplitCents(double value)
{
    Split s;
    if (!std::isfinite(value)) {
        s.negative = std::signbit(value) && !std::isnan(value);
        s.whole = std::isnan(value) ? "NaN" : "Infinity";
        s.cents.clear();
        return s;
    }
    std::string digits;
    int exponent = 0;
    DecimalDigits(std::fabs(value), digits, exponent);
    // The value in cents: the digits down to 10^-2, and the first digit dropped.
    const long kept = long(exponent) + 3; // digits from 10^exponent down to 10^-2
    std::string cents;
    char dropped = '0';
    if (kept > 0) {
        cents = digits.substr(0, std::size_t(std::min<long>(kept, long(digits.size()))));
        cents.append(std::size_t(kept) - cents.size(), '0');
        if (std::size_t(kept) < digits.size())
            dropped = digits[std::size_t(kept)];
    } else if (kept == 0) {
        dropped = digits[0];
    }
    if (cents.empty())
        cents = "0";
    if (dropped >= '5') {
        std::size_t i = cents.size();
        while (i > 0 && cents[i - 1] == '9')
            cents[--i] = '0';
        if (i == 0)
            cents.insert(0, 1, '1');
        else
            ++cents[i - 1];
    }
    if (cents.size() < 3)
        cents.insert(0, 3 - cents.size(), '0');
    const std::size_t point = cents.size() - 2;
    s.whole = cents.substr(0, point);
    s.cents = cents.substr(point);
    const std::size_t lead = s.whole.find_first_not_of('0');
    s.whole = lead == std::string::npos ? "0" : s.whole.substr(lead);
    s.negative = value < 0 && (s.whole != "0" || s.cents != "00");
    return s;
}

std::string Group(const std::string& digits)
{
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string Build(double value, bool group, bool leadingZero, const char* prefix)
{
    const Split s = SplitCents(value);
    std::string out = s.negative ? "-" : "";
    out += prefix;
    if (s.cents.empty())
        return out + s.whole;
    std::string whole = s.whole;
    if (whole == "0" && !leadingZero)
        whole.clear();
    out += group ? Group(whole) : whole;
    out += '.';
    out += s.cents;
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
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        plain += text[i++];
    bool digits = false;
    // Grouping commas are accepted between integer digits only.
    while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || (text[i] == ',' && digits))) {
        if (text[i] != ',') {
            plain += text[i];
            digits = true;
        }
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        plain += text[i++];
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            plain += text[i++];
            digits = true;
        }
    }
    if (!digits || i != text.size())
        return std::nullopt;
    const double value = std::strtod(plain.c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long> ParseWhole(std::string_view text)
{
    text = Trim(text);
    if (text.empty())
        return std::nullopt;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483647L)
            return std::nullopt;
    }
    return value;
}

} // namespace kestrow
