// Number parsing and every number format. The first eight bytes, when there are that many,
// are a double to format; the whole input is also parsed as amount text. An amount written
// to the data file must read back as the same amount to the cent.

#include "core/numfmt.h"
#include "fuzz_check.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

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
    const std::string dollars = FormatDollars(x);
    const std::string dialog = FormatDialogAmount(x);
    if (!std::isfinite(x) || std::fabs(x) >= 1e12)
        return;

    const auto back = ParseAmount(amount);
    FUZZ_CHECK(back && WithinHalfCent(*back, x));
    const auto figureBack = ParseAmount(figure);
    FUZZ_CHECK(!figure.empty() && figure.back() == ' ');
    FUZZ_CHECK(figureBack && *figureBack == *back);
    const auto dialogBack = ParseAmount(dialog);
    FUZZ_CHECK(dialogBack && *dialogBack == *back);
    // Dollars carry a "$" after any sign and no grouping.
    std::string plain = dollars;
    const std::size_t sign = plain.find('$');
    FUZZ_CHECK(sign != std::string::npos && plain.find(',') == std::string::npos);
    plain.erase(sign, 1);
    const auto dollarsBack = ParseAmount(plain);
    FUZZ_CHECK(dollarsBack && *dollarsBack == *back);
    // A stored amount is written once and read many times: formatting again is stable.
    FUZZ_CHECK(FormatAmount(*back) == amount);
}

void CheckParse(std::string_view text)
{
    const auto amount = ParseAmount(text);
    if (amount && std::isfinite(*amount) && std::fabs(*amount) < 1e12) {
        const auto back = ParseAmount(FormatAmount(*amount));
        FUZZ_CHECK(back && WithinHalfCent(*back, *amount));
    }
    const auto whole = ParseWhole(text);
    if (whole) {
        FUZZ_CHECK(*whole >= 0 && *whole <= INT32_MAX);
        // A whole number is an amount too, with the same value.
        const auto asAmount = ParseAmount(text);
        FUZZ_CHECK(asAmount && *asAmount == static_cast<double>(*whole));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckParse(text);
    if (size >= 8) {
        double x = 0;
        std::memcpy(&x, data, sizeof x);
        CheckFormats(x);
        // The same bits as a whole number of cents, which reaches the rounding edges.
        std::int64_t cents = 0;
        std::memcpy(&cents, data, sizeof cents);
        CheckFormats(static_cast<double>(cents % 100000000000000) / 100.0);
        const int digits = data[0] % 12;
        const long value = static_cast<long>(cents);
        const std::string padded = FormatPadded(value, digits);
        FUZZ_CHECK(padded.size() >= static_cast<std::size_t>(digits));
    }
    return 0;
}
