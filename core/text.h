#pragma once
// Text helpers shared by every reader of the data file: splitting, the UTF-8 test that
// decides how a record's bytes are shown, and fixed-width columns that never cut a letter
// in half.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// Splits at every occurrence of sep; "a--b" gives three parts, the middle one empty.
std::vector<std::string> SplitText(std::string_view text, char sep);

// The line end every line Kestrow writes ends with.
inline constexpr std::string_view kLineEnd = "\r\n";

// Whether the text holds a byte that ends a line (CR or LF): one such in a record would
// turn it into two and shift every later record number.
inline bool HasLineBreak(std::string_view text)
{
    // Two searches for one byte each: find_first_of would try both at every byte.
    return text.find('\r') != text.npos || text.find('\n') != text.npos;
}

// Calls line(view) for every line of file contents, in order. A line ends at CR LF, CR or
// LF; a last line without a line end is still a line. The views point into `contents`.
template <class Visit> void ForEachLine(std::string_view contents, Visit&& line)
{
    const char* at = contents.data();
    const char* const end = at + contents.size();
    while (at < end) {
        // One pass over the bytes: searching for each line end separately would read a
        // line of many megabytes twice.
        const char* stop = at;
        while (stop < end && *stop != '\r' && *stop != '\n')
            ++stop;
        line(std::string_view(at, std::size_t(stop - at)));
        if (stop == end)
            break;
        at = stop + 1;
        if (*stop == '\r' && at < end && *at == '\n')
            ++at;
    }
}

// Length of the UTF-8 sequence starting at text[at], or 0 when it is not a valid one
// (overlong forms, surrogates and values beyond U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
bool ValidUtf8(std::string_view text);

// Bytes of an older single-byte file (Windows-1252) as UTF-8. Windows-1252 differs from
// Latin-1 only in 0x80 to 0x9F; its five unassigned bytes become the C1 controls of the
// same value, as Windows itself reads them.
std::string Cp1252ToUtf8(std::string_view bytes);

// Stored bytes as UTF-8 text, the one conversion every window, export and report uses: as
// they are when `utf8`, otherwise read as Windows-1252. Without `utf8`, decided by
// ValidUtf8 of the bytes themselves.
std::string StoredAsUtf8(std::string_view bytes, bool utf8);
std::string StoredAsUtf8(std::string_view bytes);

// Whether the texts of one record are read as UTF-8: only when every one of them is, so
// the type and the name of a record are never read in two different code pages.
bool AllValidUtf8(std::initializer_list<std::string_view> texts);

// The text cut or padded with blanks to `width` characters: counted in UTF-8 characters
// when `utf8`, otherwise in bytes (older single-byte files).
std::string TextColumn(std::string_view text, std::size_t width, bool utf8);

// The most characters a list or a label shows of one field of a record, or of a whole
// line: far more than any name a person types, and little enough that a field of millions
// of characters never reaches a widget, whose layout of it would take minutes and
// gigabytes. The file keeps every byte.
inline constexpr std::size_t kLongestShown = 1000;
// The text whole when it has at most `limit` characters (counted as TextColumn counts
// them), otherwise its first `limit` characters followed by "...".
std::string ShownText(std::string_view text, std::size_t limit, bool utf8);

} // namespace kestrow
