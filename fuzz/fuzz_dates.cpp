// The closed-form date step on any "date\ntoday" agrees with the plain rule of
// budget_reference.h; the first byte picks the period's range, the next two the period.
#include "core/dates.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int months = data[0] % 3 == 0   ? std::int8_t(data[1]) % 26            // around a year
                       : data[0] % 3 == 1 ? std::int16_t(data[1] | data[2] << 8) // any 16 bits
                                          : 32767 + data[1] - 128;               // near the limit
    const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::string_view date = text.substr(0, text.find('\n'));
    const std::string_view today =
        date.size() < text.size() ? text.substr(date.size() + 1) : "2026-03-01";
    FUZZ_CHECK(kestrow::StepDate(date, months, today) == reference::StepDate(date, months, today));
    return 0;
}
