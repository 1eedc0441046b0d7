// Number parsing and every money pattern. The first eight bytes, when there are that many,
// are a double to format (and, read as a whole number of cents, a value at the rounding
// edges); the whole input is also parsed as amount text. An amount written to the data
// file must read back as the same amount to the cent, and formatting it again is stable.

#include "core/numfmt.h"
#include "fuzz_check.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

using namespace kestrow;

namespace {

// Half a cent, plus what the double itself cannot hold at this size.
bool WithinHalfCent(double parsed, double x)
{
    return std::fabs(parsed - x) <= 0.005 + std::fabs(x) * 1e-15;
}

void CheckFormats(double x)
{
    const std::string amount = FormatAmount(x);
    const std::string figure = FormatFigure(x);
    std::string dollars = FormatDollars(x);
    const std::string dialog = FormatDialogAmount(x);
    if (!std::isfinite(x) || std::fabs(x) >= 1e12)
        return;
    const auto back = ParseAmount(amount);
    FUZZ_CHECK(back && WithinHalfCent(*back, x) && FormatAmount(*back) == amount);
    FUZZ_CHECK(figure == amount + " " && ParseAmount(dialog) == back);
    // Dollars carry a "$" after any sign and no grouping.
    const std::size_t sign = dollars.find('$');
    FUZZ_CHECK(sign != std::string::npos && dollars.find(',') == std::string::npos);
    FUZZ_CHECK(ParseAmount(dollars.erase(sign, 1)) == back);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto amount = ParseAmount(text);
    if (amount && std::fabs(*amount) < 1e12) {
        const auto back = ParseAmount(FormatAmount(*amount));
        FUZZ_CHECK(back && WithinHalfCent(*back, *amount));
    }
    // A whole number is an amount too, with the same value.
    if (const auto whole = ParseWhole(text))
        FUZZ_CHECK(*whole >= 0 && *whole <= INT32_MAX && amount == double(*whole));
    if (size >= 8) {
        double x = 0;
        std::int64_t cents = 0;
        std::memcpy(&x, data, sizeof x);
        std::memcpy(&cents, data, sizeof cents);
        CheckFormats(x);
        CheckFormats(double(cents % 100000000000000) / 100.0);
        FUZZ_CHECK(FormatPadded(long(cents), data[0] % 12).size() >= std::size_t(data[0] % 12));
    }
    return 0;
}
