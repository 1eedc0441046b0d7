// The record rewrite of Step and Pay on an arbitrary line: Step moves only the date on by
// one month and Pay only puts a new date in place; every other byte of the line stays as
// it was, since fields beyond the known five belong to whoever wrote them. The input is
// "line\ntoday", with the last eight bytes also a period for Pay when there are enough.

#include "core/dates.h"
#include "core/record.h"
#include "core/text.h"
#include "forms/mainwindow.h"
#include "fuzz_check.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The year and month a new date starts with: the year with at least four digits, the month
// 01 to 12.
void CheckYearMonth(const std::vector<std::string>& parts)
{
    FUZZ_CHECK(parts.size() >= 2);
    FUZZ_CHECK(IsDigits(parts[0]) && parts[0].size() >= 4);
    FUZZ_CHECK(IsDigits(parts[1]) && parts[1].size() == 2);
    FUZZ_CHECK(parts[1] >= "01" && parts[1] <= "12");
}

// Everything of the line but the date field, which the rewrite may not touch.
std::pair<std::string, std::string> AroundDate(std::string_view line)
{
    std::size_t start = 0;
    for (int i = 0; i < kestrow::FieldDate; ++i)
        start = line.find(kestrow::kFieldSeparator, start) + 1;
    const std::size_t end = line.find(kestrow::kFieldSeparator, start);
    return {std::string(line.substr(0, start)), std::string(line.substr(end))};
}

void CheckStep(std::string_view line)
{
    const auto stepped = kestrow::SteppedLine(line);
    const auto fields = kestrow::SplitFields(line);
    if (!stepped) {
        return;
    }
    FUZZ_CHECK(fields.size() >= 5);
    const auto newFields = kestrow::SplitFields(*stepped);
    FUZZ_CHECK(newFields.size() == fields.size());
    FUZZ_CHECK(AroundDate(*stepped) == AroundDate(line));

    const auto oldParts = kestrow::SplitText(fields[kestrow::FieldDate], '-');
    const auto newParts = kestrow::SplitText(newFields[kestrow::FieldDate], '-');
    FUZZ_CHECK(newParts.size() == oldParts.size());
    for (std::size_t i = 2; i < oldParts.size(); ++i)
        FUZZ_CHECK(newParts[i] == oldParts[i]);
    CheckYearMonth(newParts);
    // One month on: the month count grows by exactly one.
    const long long oldIndex = std::stoll(oldParts[0]) * 12 + std::stoll(oldParts[1]);
    const long long newIndex = std::stoll(newParts[0]) * 12 + std::stoll(newParts[1]);
    FUZZ_CHECK(newIndex == oldIndex + 1);
}

void CheckPay(std::string_view line, std::string_view today, std::int64_t months)
{
    const auto paid = kestrow::PaidDate(today, months);
    if (!paid)
        return;
    FUZZ_CHECK(months >= 0);
    const auto todayParts = kestrow::SplitText(today, '-');
    const auto parts = kestrow::SplitText(*paid, '-');
    FUZZ_CHECK(todayParts.size() >= 3);
    CheckYearMonth(parts);
    // Today's day part as written; today never has more than three parts.
    FUZZ_CHECK(parts.size() == 3 && parts[2] == todayParts[2]);

    // Putting the new date in its field, as Pay does, changes nothing else of the line.
    // (Today comes from the system date and never holds a field separator.)
    auto fields = kestrow::SplitFields(line);
    if (fields.size() < 5 || paid->find(kestrow::kFieldSeparator) != std::string::npos)
        return;
    fields[kestrow::FieldDate] = *paid;
    const std::string rewritten = kestrow::JoinFields(fields);
    FUZZ_CHECK(AroundDate(rewritten) == AroundDate(line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    const std::string_view today =
        end == std::string_view::npos ? std::string_view("2026-03-01") : text.substr(end + 1);
    // The period Pay adds: a stored duration is at most 32 bits, but the helper takes any.
    std::int64_t months = static_cast<std::int64_t>(size % 40);
    if (size >= 8 && (data[size - 1] & 1))
        std::memcpy(&months, data + size - 8, sizeof months);

    CheckStep(line);
    CheckPay(line, today, months);
    return 0;
}
