// Step and Pay on any line "line\ntoday" change the date field only: fields beyond the
// known five belong to whoever wrote them.
#include "core/record.h"
#include "fuzz_check.h"

using namespace kestrow;

static std::string AroundDate(std::string_view line)
{
    auto fields = SplitFields(line);
    fields.at(FieldDate).clear();
    return JoinFields(fields);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view line = text.substr(0, text.find('\n'));
    const std::string_view today = line.size() < size ? text.substr(line.size() + 1) : "2026-03-01";
    if (const auto stepped = SteppedLine(line))
        FUZZ_CHECK(AroundDate(*stepped) == AroundDate(line));
    const auto terms = PayTermsOf(line, today);
    if (terms && terms->newDate.find(kFieldSeparator) == std::string::npos)
        FUZZ_CHECK(AroundDate(PaidLine(line, *terms, terms->amount)) == AroundDate(line));
    return 0;
}
