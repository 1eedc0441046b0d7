// The date helpers on any "date\ntoday" after one byte choosing the period's range and two
// of period. The closed-form step agrees with the plain rule of budget_reference.h, and
// normalising and keys keep the shape of what they are given.

#include "core/dates.h"
#include "core/text.h"
#include "fuzz_check.h"
#include "tests/budget_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrow;
    if (size < 3)
        return 0;
    const int raw = data[1] | data[2] << 8,
              months = data[0] % 3 == 0   ? std::int8_t(data[1]) % 26 // around a year
                       : data[0] % 3 == 1 ? std::int16_t(raw)
                                          : 32767 + data[1] - 128; // around 16 bits
    const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::string_view date = text.substr(0, text.find('\n'));
    const std::string_view today =
        date.size() < text.size() ? text.substr(date.size() + 1) : "2026-03-01";
    FUZZ_CHECK(StepDate(date, months, today) == reference::StepDate(date, months, today));
    if (const std::string normal = NormalizeDate(date); !normal.empty()) {
        const auto in = SplitText(date, '-'), out = SplitText(normal, '-');
        FUZZ_CHECK(out[0] == in[0] && NormalizeDate(normal) == normal && out[1].size() >= 2 &&
                   out[2].size() >= 2);
        FUZZ_CHECK(PartValue(out[1]) == PartValue(in[1]) && PartValue(out[2]) == PartValue(in[2]));
    }
    std::string digits; // the key is the digits without the dashes, when they fit 32 bits
    for (const char c : date)
        digits += c == '-' ? "" : std::string(1, c);
    const std::string significant =
        digits.empty() ? digits
                       : digits.substr(std::min(digits.find_first_not_of('0'), digits.size() - 1));
    const bool number = !digits.empty() && digits.find_first_not_of("0123456789") == digits.npos &&
                        significant.size() <= 10 && std::stoll(significant) <= INT32_MAX;
    FUZZ_CHECK(DateKey(date) ==
               (number ? std::optional<std::int32_t>(std::stoll(significant)) : std::nullopt));
    return 0;
}
