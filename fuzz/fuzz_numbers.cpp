// Money texts: the input parsed as an amount, and its first eight bytes as a double, in
// every pattern. An amount written to the data file reads back as the same amount to the
// cent, and formatting it again is stable.

#include "core/numfmt.h"
#include "fuzz_check.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrow;
    double x = 0;
    std::memcpy(&x, data, std::min(size, sizeof x));
    for (const double value :
         {x, ParseAmount({reinterpret_cast<const char*>(data), size}).value_or(0)}) {
        std::string amount = FormatAmount(value), dollars = FormatDollars(value);
        const auto back = ParseAmount(amount);
        if (!std::isfinite(value) || std::fabs(value) >= 1e12)
            continue;
        FUZZ_CHECK(back && std::fabs(*back - value) <= 0.005 + std::fabs(value) * 1e-15);
        FUZZ_CHECK(FormatAmount(*back) == amount && FormatFigure(value) == amount + " ");
        FUZZ_CHECK(ParseAmount(FormatDialogAmount(value)) == back &&
                   dollars.find(',') == dollars.npos);
        FUZZ_CHECK(ParseAmount(dollars.erase(dollars.find('$'), 1)) == back);
    }
    return 0;
}
