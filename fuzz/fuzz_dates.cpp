// The date helpers on arbitrary text and periods. The input is one control byte, a
// period, then "date\ntoday" (today defaults to a fixed date when there is no line end).
// Every stored date passes through these helpers, so besides never hanging or stopping
// they must keep the shape of what they are given.

#include "core/dates.h"
#include "core/text.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

using namespace kestrow;

namespace {

void CheckNormalize(std::string_view text)
{
    const std::string normal = NormalizeDate(text);
    if (normal.empty())
        return;
    const auto in = SplitText(text, '-');
    const auto out = SplitText(normal, '-');
    FUZZ_CHECK(in.size() == 3 && out.size() == 3);
    FUZZ_CHECK(out[0] == in[0]);
    for (int i = 1; i <= 2; ++i) {
        FUZZ_CHECK(IsDigits(out[i]) && out[i].size() >= 2);
        FUZZ_CHECK(PartValue(out[i]) == PartValue(in[i]));
    }
    FUZZ_CHECK(NormalizeDate(normal) == normal);
}

void CheckStep(std::string_view date, int months, std::string_view today)
{
    const std::string stepped = StepDate(date, months, today);
    if (months < 1 || months > 32767)
        FUZZ_CHECK(stepped.empty());
    if (stepped.empty())
        return;

    const auto in = SplitText(date, '-');
    const auto out = SplitText(stepped, '-');
    const auto todayParts = SplitText(today, '-');
    FUZZ_CHECK(in.size() >= 3 && out.size() == in.size());
    for (std::size_t i = 3; i < in.size(); ++i)
        FUZZ_CHECK(out[i] == in[i]);
    // The day is kept, or limited to the length of a short month.
    FUZZ_CHECK(out[2] == in[2] || out[2] == "28" || out[2] == "30");

    const auto year = PartValue(out[0]);
    const auto todayYear = PartValue(todayParts[0]);
    const auto todayMonth = PartValue(todayParts[1]);
    FUZZ_CHECK(year && todayYear && todayMonth);
    FUZZ_CHECK(*year >= *todayYear);
    if (months < 12 && *todayMonth >= 1 && *todayMonth <= 12) {
        const auto month = PartValue(out[1]);
        FUZZ_CHECK(month && *month >= 1 && *month <= 12 && out[1].size() == 2);
        FUZZ_CHECK(long(*year) * 12 + *month >= long(*todayYear) * 12 + *todayMonth);
    }
}

void CheckKey(std::string_view text)
{
    const auto key = DateKey(text);
    long long value = 0;
    bool any = false;
    bool number = true;
    for (const char c : text) {
        if (c == '-')
            continue;
        if (c < '0' || c > '9') {
            number = false;
            break;
        }
        any = true;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) {
            number = false;
            break;
        }
    }
    if (number && any)
        FUZZ_CHECK(key && *key == value);
    else
        FUZZ_CHECK(!key);
}

void CheckToday(std::string_view text)
{
    const auto today = TodayFromSystemText(text);
    if (!today)
        return;
    FUZZ_CHECK(today->date.size() == 10 && today->month >= 1 && today->month <= 12);
    FUZZ_CHECK(NormalizeDate(today->date) == today->date);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    // The control byte picks how the next two bytes become the period: small periods
    // (the common ones and the edge at 12), or any 16-bit value, or beyond 16 bits.
    const std::uint8_t control = data[0];
    const std::uint16_t raw = static_cast<std::uint16_t>(data[1] | (data[2] << 8));
    int months = 0;
    switch (control % 3) {
    case 0:
        months = static_cast<std::int8_t>(data[1]) % 26;
        break;
    case 1:
        months = static_cast<std::int16_t>(raw);
        break;
    default:
        months = 32767 + static_cast<int>(data[1]) - 128;
        break;
    }

    const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::size_t end = text.find('\n');
    const std::string_view date = text.substr(0, end);
    const std::string_view today =
        end == std::string_view::npos ? std::string_view("2026-03-01") : text.substr(end + 1);

    CheckNormalize(date);
    CheckNormalize(today);
    CheckStep(date, months, today);
    CheckKey(date);
    CheckKey(today);
    CheckToday(date);
    CheckToday(today);
    PartValue(date);
    // The closed form counts out the rounds that the plain rule loops through.
    FUZZ_CHECK(StepDate(date, months, today) == reference::StepDate(date, months, today));
    return 0;
}
