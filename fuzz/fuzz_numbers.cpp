// An amount (the input as text, or its first bytes as a double) written to the data file
// reads back as the same amount to the cent, at any magnitude. Past a trillion the text
// keeps 15 significant digits; only a value that rounds past the largest double is refused
// on reading, and NaN and the infinities are written as words that never read as a number.
#include "core/numfmt.h"
#include "fuzz_check.h"

#include <cmath>
#include <cstring>

using namespace kestrow;

static void CheckReadBack(double value)
{
    const std::string text = FormatAmount(value);
    const auto back = ParseAmount(text);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(!back && text.find_first_of("0123456789") == std::string::npos);
        return;
    }
    if (!back) {
        // 1.79769313486232e308, the largest double cut to 15 digits, is too large to read.
        FUZZ_CHECK(std::fabs(value) >= 1.797693134862315e308);
        return;
    }
    const double cut = std::fabs(value) * 1e-14;
    FUZZ_CHECK(std::fabs(*back - value) <= 0.005 + cut);
    FUZZ_CHECK(FormatAmount(*back) == text);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    double x = 0;
    std::memcpy(&x, data, std::min(size, sizeof x));
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckReadBack(x);
    CheckReadBack(ParseAmount(text).value_or(0));
    return 0;
}
