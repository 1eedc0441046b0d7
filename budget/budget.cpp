#include "budget/budget.h"

#include "core/dates.h"
#include "core/numfmt.h"
#include "core/text.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <unordered_map>

namespace kestrow {

namespace {

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int DigitsValue(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// What the computation needs to know about today and the displayed month; it does not
// depend on the records.
struct Frame
{
    int todayYear = 0;
    int todayMonth = 0;
    std::int32_t todayIndex = 0; // absolute month number, year x 12 + month
    int horizon = 0;
    int offset = 0;
};

// Sets up the figures every computation starts from: the displayed month, its key and
// zeroed month totals. Returns false when today is not a usable date; the figures are then
// those of an empty schedule.
bool StartFigures(const BudgetInput& input, Frame& frame, BudgetFigures& figures)
{
    // Start-up keeps the horizon at 120 or more and the window keeps the offset inside it;
    // values from elsewhere are brought into range rather than read past the totals.
    frame.horizon = std::max<int>(input.horizonMonths, 0);
    frame.offset = std::clamp<int>(input.monthOffset, 0, frame.horizon);
    figures.monthTotals.assign(static_cast<std::size_t>(frame.horizon) + 1, 0.0);
    if (!IsTodayDate(input.todayDate))
        return false;

    const std::string_view today = input.todayDate;
    frame.todayYear = DigitsValue(today.substr(0, 4));
    frame.todayMonth = DigitsValue(today.substr(5, 2));
    frame.todayIndex = frame.todayYear * 12 + frame.todayMonth;

    figures.shownMonth = ShownMonth(input.todayDate, frame.offset);
    figures.dueMonthKey = DateKey(figures.shownMonth + "-99").value_or(0);
    return true;
}

// The smallest total over the months before the last one. A true minimum: a sentinel start
// value would cap the freed money of a very large schedule at that value.
void FinishFigures(const Frame& frame, BudgetFigures& figures)
{
    const auto& totals = figures.monthTotals;
    if (frame.horizon > 0)
        figures.freedAmount = *std::min_element(totals.begin(), totals.begin() + frame.horizon);
    else
        figures.freedAmount = 0;
    figures.netRequirement = totals[static_cast<std::size_t>(frame.offset)] - figures.freedAmount;
    figures.totalThisMonth = figures.netRequirement + figures.billsDue;
}

void AddDue(BudgetFigures& figures, const UsableRecord& record, std::string_view effectiveDate)
{
    figures.billsDue += record.amount;
    figures.due.push_back(
        {record.recordNumber, std::string(effectiveDate), record.amount, record.type, record.name});
}

// ---------------------------------------------------------------------------------------
// The grouped computation.

// The key of "yyyy-mm-99" for the month `offset` months after today's (the displayed
// month's dueMonthKey): above the key of every date of that month or an earlier one.
std::int32_t MonthKey(const Frame& frame, int offset)
{
    const std::int64_t month = std::int64_t(frame.todayIndex) - 1 + offset;
    const std::int64_t key = (month / 12) * 10000 + (month % 12 + 1) * 100 + 99;
    return key > INT32_MAX ? 0 : static_cast<std::int32_t>(key);
}

// Where one record sits in its cycle.
struct Placement
{
    bool usable = false;
    bool steppedWins = false; // effective date is the stepped date, else the stored one
    bool steppedText = false; // `stepped` holds the stepped date's text; else build it
    std::int32_t dueLag = 0;
    std::int32_t key = 0; // DateKey of the effective date
};

void AppendNumber(std::string& text, long value)
{
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    text.append(buf, result.ptr);
}

// The text StepDate returns: the day as written unless it was cut.
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

// The three parts of a stored date when it has exactly three numeric 16-bit parts.
bool SplitDate(std::string_view date, long& y, long& m, long& d, std::string_view& dayText)
{
    const std::size_t first = date.find('-');
    if (first == std::string_view::npos)
        return false;
    const std::size_t second = date.find('-', first + 1);
    if (second == std::string_view::npos || date.find('-', second + 1) != std::string_view::npos)
        return false;
    const auto year = PartValue(date.substr(0, first));
    const auto month = PartValue(date.substr(first + 1, second - first - 1));
    const auto day = PartValue(date.substr(second + 1));
    if (!year || !month || !day)
        return false;
    y = *year;
    m = *month;
    d = *day;
    dayText = date.substr(second + 1);
    return true;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// YYYY-MM-DD, the form every writer of the program produces.
bool Canonical(std::string_view date)
{
    return date.size() == 10 && date[4] == '-' && date[7] == '-' && IsDigit(date[0]) &&
           IsDigit(date[1]) && IsDigit(date[2]) && IsDigit(date[3]) && IsDigit(date[5]) &&
           IsDigit(date[6]) && IsDigit(date[8]) && IsDigit(date[9]);
}

std::int32_t CycleLag(std::int32_t recordMonth, const Frame& frame, std::int32_t period)
{
    std::int32_t lag = recordMonth - frame.todayIndex;
    if (lag < 0)
        lag += ((-lag + period - 1) / period) * period;
    if (lag > period)
        lag -= ((lag - period + period - 1) / period) * period;
    return lag;
}

// Places a record. For a canonical date whose stepped year has four digits too, both dates
// are canonical, so comparing them as numbers is comparing them as text, and no text is
// built unless the record is listed. Any other date goes the long way through the texts.
Placement Place(const UsableRecord& record, const Frame& frame, const std::string& todayDate,
                std::string& stepped)
{
    Placement place;
    const std::int32_t period = record.duration;
    const std::string_view date = record.date;
    if (Canonical(date)) {
        const long y = DigitsValue(date.substr(0, 4));
        const long m = DigitsValue(date.substr(5, 2));
        const long d = DigitsValue(date.substr(8, 2));
        const auto step = StepNumbers(y, m, d, period, frame.todayYear, frame.todayMonth);
        if (!step)
            return place;
        if (step->year >= 1000 && step->year <= 9999) {
            const std::int32_t storedKey = static_cast<std::int32_t>(y * 10000 + m * 100 + d);
            const std::int32_t steppedKey =
                static_cast<std::int32_t>(step->year * 10000 + step->month * 100 + step->day);
            place.steppedWins = steppedKey >= storedKey;
            const long year = place.steppedWins ? step->year : y;
            const long month = place.steppedWins ? step->month : m;
            place.key = place.steppedWins ? steppedKey : storedKey;
            place.dueLag = CycleLag(static_cast<std::int32_t>(year * 12 + month), frame, period);
            place.usable = true;
            return place;
        }
        StepText(*step, date.substr(8), stepped);
    } else {
        long y = 0, m = 0, d = 0;
        std::string_view dayText;
        if (SplitDate(date, y, m, d, dayText)) {
            const auto step = StepNumbers(y, m, d, period, frame.todayYear, frame.todayMonth);
            if (step)
                StepText(*step, dayText, stepped);
            else
                stepped.clear();
        } else {
            stepped = StepDate(date, period, todayDate);
        }
    }
    if (stepped.empty())
        return place;

    place.steppedText = true;
    place.steppedWins = std::string_view(stepped) >= date;
    const std::string_view effective = place.steppedWins ? std::string_view(stepped) : date;
    // The year must be the first four characters; the month is the part after it.
    if (effective.size() < 6 || effective[4] != '-')
        return place;
    const std::string_view yearText = effective.substr(0, 4);
    const std::size_t monthEnd = effective.find('-', 5);
    const std::string_view monthText = effective.substr(5, monthEnd - 5);
    const auto year = AllDigits(yearText) ? PartValue(yearText) : std::nullopt;
    const auto month = PartValue(monthText);
    const auto key = DateKey(effective);
    if (!year || !month || !key)
        return place;
    place.usable = true;
    place.dueLag = CycleLag(*year * 12 + *month, frame, period);
    place.key = *key;
    return place;
}

// The effective date's text of a placed record.
std::string_view EffectiveText(const Placement& place, const UsableRecord& record,
                               const Frame& frame, std::string& stepped)
{
    if (!place.steppedWins)
        return record.date;
    if (!place.steppedText) {
        const std::string_view date = record.date;
        const auto step = StepNumbers(
            DigitsValue(date.substr(0, 4)), DigitsValue(date.substr(5, 2)),
            DigitsValue(date.substr(8, 2)), record.duration, frame.todayYear, frame.todayMonth);
        StepText(*step, date.substr(8), stepped);
    }
    return stepped;
}

// Sums of monthly shares per (period, months to the next due month within one period):
// the records of one group save in the same rhythm, so the group is added to the month
// totals once. Real files have a few hundred groups however many records they hold.
class GroupTable
{
public:
    void add(std::int32_t period, std::int32_t lagInPeriod, double share)
    {
        sums_[(static_cast<std::uint32_t>(period) << 16) |
              static_cast<std::uint32_t>(lagInPeriod)] += share;
    }

    struct Group
    {
        std::int32_t period;
        std::int32_t lag;
        double share;
    };
    // By period, then by lag, so the sums are added in an order independent of hashing.
    std::vector<Group> groups() const
    {
        std::vector<Group> out;
        out.reserve(sums_.size());
        for (const auto& [key, share] : sums_)
            out.push_back({static_cast<std::int32_t>(key >> 16),
                           static_cast<std::int32_t>(key & 0xFFFF), share});
        std::sort(out.begin(), out.end(), [](const Group& a, const Group& b) {
            return a.period != b.period ? a.period < b.period : a.lag < b.lag;
        });
        return out;
    }

private:
    std::unordered_map<std::uint32_t, double> sums_;
};

// Adds the groups of one period to the totals. When the period is shorter than the horizon,
// the saving pattern of one period is built once and repeated.
void AddPeriod(const GroupTable::Group* first, const GroupTable::Group* last, int horizon,
               std::vector<double>& totals, std::vector<double>& pattern)
{
    const std::int32_t period = first->period;
    const std::size_t count = static_cast<std::size_t>(last - first);
    const std::size_t months = static_cast<std::size_t>(horizon) + 1;
    const std::size_t patternCost = count * static_cast<std::size_t>(period) + months;
    if (patternCost < count * months) {
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
        return;
    }
    for (auto group = first; group != last; ++group) {
        std::int32_t phase = (period - group->lag) % period;
        for (auto& total : totals) {
            total += group->share * phase;
            if (++phase == period)
                phase = 0;
        }
    }
}

} // namespace

BudgetFigures Compute(const BudgetInput& input)
{
    BudgetFigures figures;
    Frame frame;
    const bool todayUsable = StartFigures(input, frame, figures);
    if (input.records == nullptr) {
        FinishFigures(frame, figures);
        return figures;
    }
    const auto& records = *input.records;
    if (!todayUsable) {
        for (const auto& record : records)
            figures.skippedRecords.push_back(record.recordNumber);
        FinishFigures(frame, figures);
        return figures;
    }

    GroupTable table;
    std::string stepped;
    for (const auto& record : records) {
        const Placement place = Place(record, frame, input.todayDate, stepped);
        if (!place.usable) {
            figures.skippedRecords.push_back(record.recordNumber);
            continue;
        }
        const std::int32_t period = record.duration;
        const double share = record.amount / period;
        figures.monthlyRequired += share;
        const std::int32_t lagInPeriod = place.dueLag % period;
        // A monthly payment is paid as soon as it is saved: it never adds to the pot.
        if (period > 1)
            table.add(period, lagInPeriod, share);
        const std::int32_t phaseShown = (frame.offset + period - lagInPeriod) % period;
        if (phaseShown == 0 && place.key < figures.dueMonthKey)
            AddDue(figures, record, EffectiveText(place, record, frame, stepped));
    }

    const auto groups = table.groups();
    std::vector<double> pattern;
    for (std::size_t start = 0; start < groups.size();) {
        std::size_t end = start + 1;
        while (end < groups.size() && groups[end].period == groups[start].period)
            ++end;
        AddPeriod(groups.data() + start, groups.data() + end, frame.horizon, figures.monthTotals,
                  pattern);
        start = end;
    }
    FinishFigures(frame, figures);
    return figures;
}

void ForEachDue(const BudgetInput& input, int lastOffset,
                const std::function<void(int, const DueEntry&)>& visit)
{
    BudgetInput whole = input;
    whole.horizonMonths = static_cast<std::int16_t>(std::clamp(lastOffset, 0, kLongestDuration));
    whole.monthOffset = 0;
    BudgetFigures figures;
    Frame frame;
    if (input.records == nullptr || !StartFigures(whole, frame, figures))
        return;
    // The key of each month's "yyyy-mm-99", which a payment's date must be below.
    std::vector<std::int32_t> monthKeys(static_cast<std::size_t>(frame.horizon) + 1);
    for (int offset = 0; offset <= frame.horizon; ++offset)
        monthKeys[std::size_t(offset)] =
            DateKey(ShownMonth(input.todayDate, offset) + "-99").value_or(0);

    std::string stepped;
    for (const auto& record : *input.records) {
        const Placement place = Place(record, frame, input.todayDate, stepped);
        if (!place.usable)
            continue;
        const std::int32_t period = record.duration;
        DueEntry entry{record.recordNumber,
                       std::string(EffectiveText(place, record, frame, stepped)), record.amount,
                       record.type, record.name};
        for (int offset = place.dueLag % period; offset <= frame.horizon; offset += period) {
            if (place.key < monthKeys[std::size_t(offset)])
                visit(offset, entry);
        }
    }
}

std::vector<DueRhythm> DueRhythms(const BudgetInput& input)
{
    BudgetInput now = input;
    now.monthOffset = 0;
    BudgetFigures figures;
    Frame frame;
    std::vector<DueRhythm> rhythms;
    if (input.records == nullptr || !StartFigures(now, frame, figures))
        return rhythms;
    // A record is listed at every offset of its cycle from the first month that is not
    // earlier than its date on.
    const auto& records = *input.records;
    std::string stepped;
    for (std::size_t r = 0; r < records.size(); ++r) {
        const Placement place = Place(records[r], frame, input.todayDate, stepped);
        if (!place.usable)
            continue;
        const std::int32_t period = records[r].duration;
        int first = 0; // the first offset whose month key lies above the record's key
        int past = frame.horizon + 1;
        while (first < past) {
            const int middle = first + (past - first) / 2;
            if (place.key < MonthKey(frame, middle))
                past = middle;
            else
                first = middle + 1;
        }
        std::int32_t start = place.dueLag % period;
        if (first > start)
            start += ((first - start + period - 1) / period) * period;
        if (start <= frame.horizon)
            rhythms.push_back({r, start, period});
    }
    return rhythms;
}

std::vector<double> DueSums(const BudgetInput& input)
{
    std::vector<double> sums(static_cast<std::size_t>(std::max<int>(input.horizonMonths, 0)) + 1,
                             0.0);
    // Records of one period first listed at the same offset are listed together for good,
    // so each such group is added once.
    std::unordered_map<std::uint32_t, double> groups;
    for (const DueRhythm& rhythm : DueRhythms(input)) {
        groups[(static_cast<std::uint32_t>(rhythm.period) << 16) |
               static_cast<std::uint32_t>(rhythm.first)] += (*input.records)[rhythm.record].amount;
    }

    // By period, so that each period is spread in one go: group by group while that costs
    // less than a pass over the horizon, otherwise in one pass carrying each offset's sum
    // a period ahead (many monthly payments first due in different months).
    std::vector<std::pair<std::uint32_t, double>> sorted(groups.begin(), groups.end());
    std::sort(sorted.begin(), sorted.end());
    const std::size_t months = sums.size();
    std::vector<double> carried;
    for (std::size_t at = 0; at < sorted.size();) {
        const std::uint32_t period = sorted[at].first >> 16;
        std::size_t end = at;
        std::size_t cost = 0;
        for (; end < sorted.size() && sorted[end].first >> 16 == period; ++end)
            cost += (months - 1 - (sorted[end].first & 0xFFFF)) / period + 1;
        if (cost <= months) {
            for (; at < end; ++at) {
                for (std::size_t i = sorted[at].first & 0xFFFF; i < months; i += period)
                    sums[i] += sorted[at].second;
            }
            continue;
        }
        carried.assign(months, 0.0);
        for (; at < end; ++at)
            carried[sorted[at].first & 0xFFFF] += sorted[at].second;
        for (std::size_t i = 0; i < months; ++i) {
            if (i >= period)
                carried[i] += carried[i - period];
            sums[i] += carried[i];
        }
    }
    return sums;
}

std::string ShownMonth(std::string_view todayDate, int offset)
{
    if (!IsTodayDate(todayDate))
        return {};
    const int year = DigitsValue(todayDate.substr(0, 4));
    const int month = DigitsValue(todayDate.substr(5, 2));
    const int shown = year * 12 + (month - 1) + offset;
    return FormatPadded(shown / 12, 4) + "-" + FormatPadded(shown % 12 + 1, 2);
}

// ---------------------------------------------------------------------------------------
// Texts of the main window.

BudgetLabels MakeLabels(const BudgetFigures& figures)
{
    BudgetLabels labels;
    labels.monthlyRequired = FormatFigure(figures.monthlyRequired);
    labels.totalThisMonth = FormatFigure(figures.totalThisMonth);
    labels.billsDue = FormatFigure(figures.billsDue);
    labels.netRequirement = FormatFigure(figures.netRequirement);
    labels.dueCaption = "Payments due in " + figures.shownMonth;
    labels.chartCaption = "Graph: " + FormatDollars(figures.freedAmount) + " freed";
    return labels;
}

std::vector<std::string> DueLines(const std::vector<DueEntry>& due)
{
    constexpr std::size_t kAmountWidth = 9;
    std::vector<std::string> amounts;
    amounts.reserve(due.size());
    std::size_t longest = 0;
    for (const auto& entry : due) {
        amounts.push_back(FormatAmount(entry.amount));
        longest = std::max(longest, amounts.back().size());
    }
    // An amount of 100,000.00 or more does not fit the column: the column grows for the
    // whole list, one wider than the amount so that it stays apart from the date, and the
    // type and name columns stay aligned.
    const std::size_t width = longest > kAmountWidth ? longest + 1 : kAmountWidth;

    std::vector<std::string> lines;
    lines.reserve(due.size());
    for (std::size_t i = 0; i < due.size(); ++i) {
        const auto& entry = due[i];
        // Characters, not bytes, when the record is UTF-8, so a letter is never cut in half
        // and the name column stays aligned.
        const bool utf8 = ValidUtf8(entry.type) && ValidUtf8(entry.name);
        std::string line;
        line.reserve(entry.effectiveDate.size() + width + 7 + entry.name.size());
        line += ShownText(entry.effectiveDate, kLongestShown, false);
        line.append(width - amounts[i].size(), ' ');
        line += amounts[i];
        line += "  ";
        line += TextColumn(entry.type, 5, utf8);
        line += ShownText(entry.name, kLongestShown, utf8);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool TextLess(const std::string& a, const std::string& b)
{
    // One pass, equal bytes skipped at once: sorted lists are long runs of lines that
    // share their first dozen characters (the dates of one month).
    const auto fold = [](unsigned char c) {
        return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y && fold(x) != fold(y))
            return fold(x) < fold(y);
    }
    return a.size() < b.size();
}

std::vector<std::size_t> SortedOrder(const std::vector<std::string>& lines)
{
    // Each line folded once, then compared as plain bytes (unsigned, as memcmp does):
    // the order TextLess defines, at a fraction of its cost on long sorted lists.
    std::vector<std::string> folded(lines);
    for (std::string& line : folded) {
        for (char& c : line) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return folded[a] < folded[b]; });
    return order;
}

} // namespace kestrow
