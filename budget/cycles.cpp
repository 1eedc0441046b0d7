#include "budget/cycles.h"

#include "core/dates.h"

#include <charconv>

namespace kestrow::cycles {

namespace {

std::int32_t CycleLag(std::int32_t recordMonth, const Frame& frame, std::int32_t period)
{
    std::int32_t lag = recordMonth - frame.todayIndex;
    if (lag < 0)
        lag += ((-lag + period - 1) / period) * period;
    if (lag > period)
        lag -= ((lag - period + period - 1) / period) * period;
    return lag;
}

void AppendNumber(std::string& text, long value)
{
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    text.append(buf, result.ptr);
}

// StepDate's text of a canonical date, from the numbers already worked out.
void StepText(const SteppedDate& step, std::string_view dayText, std::string& out)
{
    out.clear();
    AppendNumber(out, step.year);
    out += '-';
    if (step.month < 10)
        out += '0';
    AppendNumber(out, step.month);
    out += '-';
    if (step.limited)
        AppendNumber(out, step.day);
    else
        out.append(dayText);
}

// The parts of a canonical date and its next occurrence; nothing for any other date.
std::optional<SteppedDate> StepCanonical(const UsableRecord& record, const Frame& frame,
                                         DateParts& parts)
{
    const auto split = SplitDate(record.date);
    if (!split || !split->canonical())
        return std::nullopt;
    parts = *split;
    return StepNumbers(parts.year, parts.month, parts.day, record.duration, frame.todayYear,
                       frame.todayMonth);
}

} // namespace

std::optional<Frame> TodayFrame(std::string_view todayDate)
{
    if (!IsTodayDate(todayDate))
        return std::nullopt;
    const auto today = SplitDate(todayDate);
    Frame frame;
    frame.todayDate = todayDate;
    frame.todayYear = today->year;
    frame.todayMonth = today->month;
    frame.todayIndex = frame.todayYear * 12 + frame.todayMonth;
    return frame;
}

Placement PlaceByText(const UsableRecord& record, const Frame& frame, std::string& stepped)
{
    Placement place;
    stepped = StepDate(record.date, record.duration, frame.todayDate);
    if (stepped.empty())
        return place;
    place.steppedText = true;
    const std::string_view date = record.date;
    place.steppedWins = std::string_view(stepped) >= date;
    const std::string_view effective = place.steppedWins ? std::string_view(stepped) : date;
    if (!FourDigitYear(effective))
        return place;
    const auto parts = SplitDate(effective);
    const auto key = DateKey(effective);
    if (!parts || !key)
        return place;
    place.usable = true;
    place.dueLag = CycleLag(parts->year * 12 + parts->month, frame, record.duration);
    place.key = *key;
    return place;
}

std::optional<Placement> PlaceByNumbers(const UsableRecord& record, const Frame& frame)
{
    DateParts stored;
    const auto step = StepCanonical(record, frame, stored);
    if (!step || step->year < 1000 || step->year > 9999)
        return std::nullopt;
    const std::int32_t storedKey = stored.year * 10000 + stored.month * 100 + stored.day;
    const auto steppedKey =
        static_cast<std::int32_t>(step->year * 10000 + step->month * 100 + step->day);
    Placement place;
    place.usable = true;
    place.steppedWins = steppedKey >= storedKey;
    const long year = place.steppedWins ? step->year : stored.year;
    const long month = place.steppedWins ? step->month : stored.month;
    place.key = place.steppedWins ? steppedKey : storedKey;
    place.dueLag = CycleLag(static_cast<std::int32_t>(year * 12 + month), frame, record.duration);
    return place;
}

Placement Place(const UsableRecord& record, const Frame& frame, std::string& stepped)
{
    if (const auto place = PlaceByNumbers(record, frame))
        return *place;
    return PlaceByText(record, frame, stepped);
}

std::string_view EffectiveText(const Placement& place, const UsableRecord& record,
                               const Frame& frame, std::string& stepped)
{
    if (!place.steppedWins)
        return record.date;
    if (!place.steppedText) {
        DateParts parts;
        StepText(*StepCanonical(record, frame, parts), parts.dayText, stepped);
    }
    return stepped;
}

void AddMonthByMonth(const SavingGroup* first, const SavingGroup* last, std::vector<double>& totals)
{
    for (auto group = first; group != last; ++group) {
        std::int32_t phase = (group->period - group->lag) % group->period; // at offset 0
        for (auto& total : totals) {
            total += group->share * phase;
            if (++phase == group->period)
                phase = 0;
        }
    }
}

void AddByPattern(const SavingGroup* first, const SavingGroup* last, std::vector<double>& totals,
                  std::vector<double>& pattern)
{
    const std::int32_t period = first->period;
    pattern.assign(static_cast<std::size_t>(period), 0.0);
    for (auto group = first; group != last; ++group) {
        std::int32_t phase = (period - group->lag) % period; // at offset 0
        for (auto& value : pattern) {
            value += group->share * phase;
            if (++phase == period)
                phase = 0;
        }
    }
    std::size_t r = 0;
    for (auto& total : totals) {
        total += pattern[r];
        if (++r == pattern.size())
            r = 0;
    }
}

void AddPeriod(const SavingGroup* first, const SavingGroup* last, std::vector<double>& totals,
               std::vector<double>& pattern)
{
    const std::size_t count = static_cast<std::size_t>(last - first);
    const std::size_t patternCost = count * static_cast<std::size_t>(first->period) + totals.size();
    if (patternCost < count * totals.size())
        AddByPattern(first, last, totals, pattern);
    else
        AddMonthByMonth(first, last, totals);
}

} // namespace kestrow::cycles
