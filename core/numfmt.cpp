#include "numfmt.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kestrow {

namespace {

struct Split
{
    bool negative = false;
    std::string whole; // integer digits, "0" when the value is below 1
    std::string cents; // exactly two digits
};

// Rounds to cents with the C library's correctly rounded conversion, so every pattern
// rounds the same way.
Split SplitCents(double value)
{
    Split s;
    if (!std::isfinite(value)) {
        s.negative = std::signbit(value) && !std::isnan(value);
        s.whole = std::isnan(value) ? "NaN" : "Infinity";
        s.cents.clear();
        return s;
    }
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.2f", std::fabs(value));
    std::string text = buf;
    const std::size_t dot = text.find('.');
    s.whole = text.substr(0, dot);
    s.cents = text.substr(dot + 1);
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

std::string FormatAmount(double value) { return Build(value, true, false, ""); }

std::string FormatFigure(double value) { return FormatAmount(value) + " "; }

std::string FormatDollars(double value) { return Build(value, false, false, "$"); }

std::string FormatDialogAmount(double value) { return Build(value, true, true, ""); }

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
