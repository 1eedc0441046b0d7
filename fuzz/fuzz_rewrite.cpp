// Step and Pay on any line: Step moves only the date on by one month and Pay only puts a
// new date in place; every other byte of the line stays, since fields beyond the known
// five belong to whoever wrote them. The input is "line\ntoday"; when there are enough
// bytes the last eight may also be the period Pay adds.

#include "core/dates.h"
#include "core/record.h"
#include "core/text.h"
#include "fuzz_check.h"

#include <cstdint>
#include <cstring>

using namespace kestrow;

namespace {

// A new date starts with a year of at least four digits and a month 01 to 12.
void CheckYearMonth(const std::vector<std::string>& parts)
{
    FUZZ_CHECK(parts.size() >= 2 && IsDigits(parts[0]) && parts[0].size() >= 4);
    FUZZ_CHECK(IsDigits(parts[1]) && parts[1] >= "01" && parts[1] <= "12" && parts[1].size() == 2);
}

// The line without its date field.
std::string AroundDate(std::string_view line)
{
    auto fields = SplitFields(line);
    fields.at(FieldDate).clear();
    return JoinFields(fields);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    const std::string_view today = end == text.npos ? "2026-03-01" : text.substr(end + 1);
    auto months = std::int64_t(size % 40);
    if (size >= 8 && (data[size - 1] & 1))
        std::memcpy(&months, data + size - 8, sizeof months);

    if (const auto stepped = SteppedLine(line)) {
        FUZZ_CHECK(AroundDate(*stepped) == AroundDate(line));
        const auto before = SplitText(SplitFields(line)[FieldDate], '-');
        const auto after = SplitText(SplitFields(*stepped)[FieldDate], '-');
        FUZZ_CHECK(after.size() == before.size());
        for (std::size_t i = 2; i < before.size(); ++i)
            FUZZ_CHECK(after[i] == before[i]);
        CheckYearMonth(after);
        // One month on: the month count grows by exactly one.
        FUZZ_CHECK(std::stoll(after[0]) * 12 + std::stoll(after[1]) ==
                   std::stoll(before[0]) * 12 + std::stoll(before[1]) + 1);
    }
    if (const auto paid = PaidDate(today, months)) {
        const auto parts = SplitText(*paid, '-');
        const auto todayParts = SplitText(today, '-');
        CheckYearMonth(parts);
        // Today's day part as written; today never has more than three parts.
        FUZZ_CHECK(months >= 0 && parts.size() == 3 && parts[2] == todayParts.at(2));
        const auto terms = PayTermsOf(line, today);
        if (terms && paid->find(kFieldSeparator) == std::string::npos)
            FUZZ_CHECK(AroundDate(PaidLine(line, *terms, terms->amount)) == AroundDate(line));
    }
    return 0;
}
