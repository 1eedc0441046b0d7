// The date helpers on any text and period. The input is one control byte, two bytes of
// period, then "date\ntoday" (today is a fixed date when there is no line end). Every
// stored date passes through these helpers, so they must keep the shape of what they are
// given, and the closed-form step must agree with the plain rule of budget_reference.h.

#include "core/dates.h"
#include "core/text.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

#include <cstdint>

using namespace kestrow;

namespace {

void CheckNormalize(std::string_view text)
{
    const std::string normal = NormalizeDate(text);
    if (normal.empty())
        return;
    const auto in = SplitText(text, '-');
    const auto out = SplitText(normal, '-');
    FUZZ_CHECK(in.size() == 3 && out.size() == 3 && out[0] == in[0]);
    for (int i = 1; i <= 2; ++i)
        FUZZ_CHECK(IsDigits(out[i]) && out[i].size() >= 2 && PartValue(out[i]) == PartValue(in[i]));
    FUZZ_CHECK(NormalizeDate(normal) == normal);
}

void CheckStep(std::string_view date, int months, std::string_view today)
{
    const std::string stepped = StepDate(date, months, today);
    FUZZ_CHECK(stepped == reference::StepDate(date, months, today));
    if (stepped.empty())
        return;
    const auto in = SplitText(date, '-');
    const auto out = SplitText(stepped, '-');
    FUZZ_CHECK(months >= 1 && months <= 32767 && out.size() == in.size());
    for (std::size_t i = 3; i < in.size(); ++i)
        FUZZ_CHECK(out[i] == in[i]);
    // The day is kept, or cut to the length of a short month.
    FUZZ_CHECK(out[2] == in[2] || out[2] == "28" || out[2] == "30");
    const auto todayParts = SplitText(today, '-');
    const auto year = PartValue(out[0]);
    const auto todayYear = PartValue(todayParts[0]);
    const auto todayMonth = PartValue(todayParts[1]);
    FUZZ_CHECK(year && todayYear && todayMonth && *year >= *todayYear);
    if (months < 12 && *todayMonth >= 1 && *todayMonth <= 12) {
        const auto month = PartValue(out[1]);
        FUZZ_CHECK(month && *month >= 1 && *month <= 12 && out[1].size() == 2);
        FUZZ_CHECK(long(*year) * 12 + *month >= long(*todayYear) * 12 + *todayMonth);
    }
}

// The key is the digits without the dashes, read as one number, when it fits 32 bits.
void CheckKey(std::string_view text)
{
    long long value = 0;
    bool number = false;
    for (const char c : text) {
        if (c == '-')
            continue;
        number = c >= '0' && c <= '9' && (value = value * 10 + (c - '0')) <= INT32_MAX;
        if (!number)
            break;
    }
    const auto key = DateKey(text);
    FUZZ_CHECK(bool(key) == number && (!key || *key == value));
}

void CheckToday(std::string_view text)
{
    const auto today = TodayFromSystemText(text);
    FUZZ_CHECK(!today || (today->date.size() == 10 && today->month >= 1 && today->month <= 12 &&
                          NormalizeDate(today->date) == today->date));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    // The control byte picks the period's range: the common small ones around 12, any
    // 16-bit value, or the values around the 16-bit limit.
    const auto raw = std::uint16_t(data[1] | (data[2] << 8));
    const int months = data[0] % 3 == 0   ? std::int8_t(data[1]) % 26
                       : data[0] % 3 == 1 ? std::int16_t(raw)
                                          : 32767 + int(data[1]) - 128;
    const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::size_t end = text.find('\n');
    const std::string_view date = text.substr(0, end);
    const std::string_view today = end == text.npos ? "2026-03-01" : text.substr(end + 1);
    for (const std::string_view part : {date, today}) {
        CheckNormalize(part);
        CheckKey(part);
        CheckToday(part);
    }
    CheckStep(date, months, today);
    return 0;
}
