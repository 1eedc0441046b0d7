// An amount (the input as text, or its first bytes as a double) written to the data file
// reads back as the same amount to the cent.
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
        const auto back = ParseAmount(FormatAmount(value));
        if (std::isfinite(value) && std::fabs(value) < 1e12)
            FUZZ_CHECK(back && std::fabs(*back - value) <= 0.005 + std::fabs(value) * 1e-15 &&
                       FormatAmount(*back) == FormatAmount(value));
    }
    return 0;
}
