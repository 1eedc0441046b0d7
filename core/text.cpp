#include "core/text.h"

#include <cstdint>
#include <cstring>

namespace kestrow {

std::vector<std::string> SplitText(std::string_view text, char sep)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        if (at == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(at);
    if (b0 < 0x80)
        return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0)
            lo = 0xA0;
        if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (at + n > text.size())
        return 0;
    if (byte(at + 1) < lo || byte(at + 1) > hi)
        return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (byte(at + k) < 0x80 || byte(at + k) > 0xBF)
            return 0;
    }
    return n;
}

bool ValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        // Plain ASCII, the bulk of any file, eight bytes at a time.
        std::uint64_t word;
        if (i + 8 <= text.size() &&
            (std::memcpy(&word, text.data() + i, 8), (word & 0x8080808080808080ull) == 0)) {
            i += 8;
            continue;
        }
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view bytes)
{
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const char16_t code = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string StoredAsUtf8(std::string_view bytes, bool utf8)
{
    if (utf8)
        return std::string(bytes);
    return Cp1252ToUtf8(bytes);
}

std::string StoredAsUtf8(std::string_view bytes)
{
    return StoredAsUtf8(bytes, ValidUtf8(bytes));
}

bool AllValidUtf8(std::initializer_list<std::string_view> texts)
{
    for (const std::string_view text : texts) {
        if (!ValidUtf8(text))
            return false;
    }
    return true;
}

std::string TextColumn(std::string_view text, std::size_t width, bool utf8)
{
    std::size_t bytes = 0;
    std::size_t chars = 0;
    while (bytes < text.size() && chars < width) {
        const std::size_t n = utf8 ? Utf8SequenceLength(text, bytes) : 1;
        bytes += n == 0 ? 1 : n;
        ++chars;
    }
    std::string column(text.substr(0, bytes));
    column.append(width - chars, ' ');
    return column;
}

std::string ShownText(std::string_view text, std::size_t limit, bool utf8)
{
    if (text.size() <= limit) // no more characters than bytes
        return std::string(text);
    std::size_t bytes = 0;
    std::size_t chars = 0;
    while (bytes < text.size() && chars < limit) {
        const std::size_t n = utf8 ? Utf8SequenceLength(text, bytes) : 1;
        bytes += n == 0 ? 1 : n;
        ++chars;
    }
    if (bytes >= text.size())
        return std::string(text);
    return std::string(text.substr(0, bytes)) + "...";
}

} // namespace kestrow
