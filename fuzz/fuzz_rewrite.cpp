// Step and Pay on any line "line\ntoday": Step moves the date on by exactly one month and
// Pay puts today plus the period in its place; every other byte of the line stays, since
// fields beyond the known five belong to whoever wrote them.

#include "core/record.h"
#include "core/text.h"
#include "fuzz_check.h"

using namespace kestrow;

static std::string AroundDate(std::string_view line, std::string* date = nullptr)
{
    auto fields = SplitFields(line);
    if (date != nullptr)
        *date = fields.at(FieldDate);
    fields.at(FieldDate).clear();
    return JoinFields(fields);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view line = text.substr(0, text.find('\n'));
    const std::string_view today = line.size() < size ? text.substr(line.size() + 1) : "2026-03-01";
    std::string before, after;
    if (const auto stepped = SteppedLine(line)) {
        FUZZ_CHECK(AroundDate(*stepped, &after) == AroundDate(line, &before));
        const auto was = SplitText(before, '-'), now = SplitText(after, '-');
        FUZZ_CHECK(now.size() == was.size() &&
                   std::equal(now.begin() + 2, now.end(), was.begin() + 2));
        FUZZ_CHECK(now[0].size() >= 4 && now[1].size() == 2 && now[1] >= "01" && now[1] <= "12");
        FUZZ_CHECK(std::stoll(now[0]) * 12 + std::stoll(now[1]) ==
                   std::stoll(was[0]) * 12 + std::stoll(was[1]) + 1);
    }
    if (const auto terms = PayTermsOf(line, today);
        terms && terms->newDate.find('|') == std::string::npos) {
        FUZZ_CHECK(AroundDate(PaidLine(line, *terms, terms->amount), &after) == AroundDate(line));
        FUZZ_CHECK(after == terms->newDate &&
                   after.substr(after.rfind('-') + 1) == SplitText(today, '-').at(2));
    }
    return 0;
}
