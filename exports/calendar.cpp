#include "exports/exports.h"

#include "budget/budget.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "core/text.h"

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <unordered_map>

namespace kestrow {

namespace {

// Stored text as calendar text: UTF-8, read as Windows-1252 when `utf8` is false. Control
// characters other than tab cannot stand in an iCalendar text value (and a NUL would end
// it for libical), so each becomes a blank.
std::string CalendarText(std::string_view bytes, bool utf8)
{
    std::string out = utf8 ? std::string(bytes) : Cp1252ToUtf8(bytes);
    for (char& c : out) {
        if ((c >= 0 && c < 0x20 && c != '\t') || c == 0x7F)
            c = ' ';
    }
    return out;
}

// FNV-1a, 64 bits: the same value on every machine and in every build, unlike std::hash.
std::uint64_t StableHash(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// What names a payment across exports: its type and name, and how many identical ones
// come before it in the file, so two identical lines stay two events. Record numbers would
// shift whenever an earlier payment is deleted.
std::vector<std::string> PaymentKeys(const std::vector<UsableRecord>& records)
{
    std::unordered_map<std::string, int> seen;
    std::vector<std::string> keys;
    keys.reserve(records.size());
    for (const auto& record : records) {
        const std::string identity = record.type + kFieldSeparator + record.name;
        char buf[48];
        std::snprintf(buf, sizeof buf, "%016llx-%d",
                      static_cast<unsigned long long>(StableHash(identity)), ++seen[identity]);
        keys.emplace_back(buf);
    }
    return keys;
}

// Text as an iCalendar TEXT value writes it: "\\", ";" and "," escaped (CalendarText has
// already turned line breaks into blanks).
std::string EscapedText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' || c == ';' || c == ',')
            out += '\\';
        out += c;
    }
    return out;
}

struct FreeComponent
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, FreeComponent>;

Component NewComponent(icalcomponent_kind kind)
{
    icalcomponent* component = icalcomponent_new(kind);
    if (component == nullptr)
        throw std::bad_alloc();
    return Component(component);
}

void Add(icalcomponent* component, icalproperty* property)
{
    if (property == nullptr)
        throw std::bad_alloc();
    icalcomponent_add_property(component, property);
}

// A property holding `value`, or nothing when either could not be made.
icalproperty* WithValue(icalproperty_kind kind, icalvalue* value)
{
    icalproperty* property = value != nullptr ? icalproperty_new(kind) : nullptr;
    if (property == nullptr) {
        if (value != nullptr)
            icalvalue_free(value);
        return nullptr;
    }
    icalproperty_set_value(property, value);
    return property;
}

// A date or a time in UTC, made from its text: libical's own constructors take a year
// after 3000 for invalid and write zeros in its place, while the text form holds every
// year up to 9999.
icalproperty* TimeProperty(icalproperty_kind kind, const icaltimetype& time)
{
    char text[32];
    if (time.is_date) {
        std::snprintf(text, sizeof text, "%04d%02d%02d", time.year, time.month, time.day);
        return WithValue(kind, icalvalue_new_from_string(ICAL_DATE_VALUE, text));
    }
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return WithValue(kind, icalvalue_new_from_string(ICAL_DATETIME_VALUE, text));
}

// CATEGORIES as one category: libical takes the value for a list and writes "," and ";"
// as they stand, which splits a type such as "a,b" in two. The text goes in escaped, as a
// value libical writes unchanged, marked as the TEXT it is so that no VALUE parameter
// appears.
icalproperty* CategoryProperty(const std::string& category)
{
    icalproperty* property =
        WithValue(ICAL_CATEGORIES_PROPERTY, icalvalue_new_string(EscapedText(category).c_str()));
    if (property != nullptr) {
        icalparameter* text = icalparameter_new_value(ICAL_VALUE_TEXT);
        if (text == nullptr) {
            icalproperty_free(property);
            return nullptr;
        }
        icalproperty_set_parameter(property, text);
    }
    return property;
}

struct Payment
{
    std::string summary;
    std::string description;
    std::string category;
    std::string uid;
    icaltimetype day;
};

// The payment as one event of `month` (yyyy-mm): its stored day in that month, or the
// month's last day when the month is shorter.
Payment Describe(const DueEntry& due, const UsableRecord& record, const std::string& key, int year,
                 int month)
{
    const bool utf8 = ValidUtf8(record.type) && ValidUtf8(record.name);
    const std::string name = CalendarText(record.name, utf8);
    const std::string type = CalendarText(record.type, utf8);

    Payment payment;
    payment.summary = name + " " + FormatAmount(due.amount);
    payment.description = "Type: " + type + "\nSet aside each month: " +
                          FormatAmount(record.amount / record.duration);
    payment.category = type;

    char uid[64];
    std::snprintf(uid, sizeof uid, "kestrow-%04d%02d-%s", year, month, key.c_str());
    payment.uid = uid;

    const std::string_view date = record.date;
    const long storedDay = PartValue(date.substr(date.rfind('-') + 1)).value_or(1);
    payment.day = icaltime_null_date();
    payment.day.year = year;
    payment.day.month = month;
    payment.day.day =
        static_cast<int>(std::clamp<long>(storedDay, 1, icaltime_days_in_month(month, year)));
    return payment;
}

Component Event(const Payment& payment, icaltimetype stamp, const std::optional<int>& remind)
{
    Component event = NewComponent(ICAL_VEVENT_COMPONENT);
    icalcomponent* e = event.get();
    Add(e, icalproperty_new_uid(payment.uid.c_str()));
    Add(e, TimeProperty(ICAL_DTSTAMP_PROPERTY, stamp));
    Add(e, TimeProperty(ICAL_DTSTART_PROPERTY, payment.day));
    // DTEND of a date is the first day after the event: a one-day event. Some applications
    // show an event without DTEND as taking no time at all. After the last day of 9999 no
    // date can be written, so that day lasts one day by its duration.
    icaltimetype end = payment.day;
    icaltime_adjust(&end, 1, 0, 0, 0);
    if (end.year <= 9999) {
        Add(e, TimeProperty(ICAL_DTEND_PROPERTY, end));
    } else {
        icaldurationtype day = icaldurationtype_null_duration();
        day.days = 1;
        Add(e, icalproperty_new_duration(day));
    }
    Add(e, icalproperty_new_summary(payment.summary.c_str()));
    Add(e, icalproperty_new_description(payment.description.c_str()));
    if (!payment.category.empty())
        Add(e, CategoryProperty(payment.category));
    // A payment does not take up the day: it must not show the user as busy.
    Add(e, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    if (remind) {
        Component alarm = NewComponent(ICAL_VALARM_COMPONENT);
        Add(alarm.get(), icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icaltriggertype trigger{};
        trigger.time = icaltime_null_time();
        trigger.duration = icaldurationtype_null_duration();
        trigger.duration.is_neg = *remind > 0;
        trigger.duration.days = static_cast<unsigned int>(*remind);
        Add(alarm.get(), icalproperty_new_trigger(trigger));
        Add(alarm.get(), icalproperty_new_description(payment.summary.c_str()));
        icalcomponent_add_component(e, alarm.release());
    }
    return event;
}

} // namespace

std::string CalendarFile(const ExportInput& input, const CalendarOptions& options)
{
    static const std::vector<UsableRecord> none;
    const auto& records = input.records ? *input.records : none;
    const std::vector<std::string> keys = PaymentKeys(records);
    const int months = std::clamp(options.months, 0, kLongestCalendarRange);
    std::optional<int> remind = options.remindDays;
    if (remind)
        remind = std::clamp(*remind, 0, kLongestReminder);
    // Years 1 to 9999, the range of an iCalendar date.
    const std::int64_t stampSeconds = std::clamp<std::int64_t>(options.stamp, 0, 253402300799);
    const icaltimetype stamp = icaltime_from_timet_with_zone(static_cast<time_t>(stampSeconds), 0,
                                                             icaltimezone_get_utc_timezone());

    Component calendar = NewComponent(ICAL_VCALENDAR_COMPONENT);
    Add(calendar.get(), icalproperty_new_version("2.0"));
    Add(calendar.get(), icalproperty_new_prodid("-//Kestrow//Kestrow " KESTROW_VERSION "//EN"));
    Add(calendar.get(), icalproperty_new_calscale("GREGORIAN"));

    BudgetInput budget;
    budget.records = &records;
    budget.todayDate = input.todayDate;
    std::vector<std::vector<DueEntry>> byMonth(std::size_t(months) + 1);
    ForEachDue(budget, months, [&](int offset, const DueEntry& entry) {
        byMonth[std::size_t(offset)].push_back(entry);
    });
    for (int offset = 0; offset <= months; ++offset) {
        const std::string shown = ShownMonth(input.todayDate, offset);
        if (shown.size() != 7)
            break; // beyond the year 9999, which no calendar date can name
        const int year = std::atoi(shown.substr(0, 4).c_str());
        const int month = std::atoi(shown.substr(5, 2).c_str());

        const std::vector<DueEntry>& dueList = byMonth[std::size_t(offset)];
        for (const std::size_t i : SortedOrder(DueLines(dueList))) {
            const DueEntry& due = dueList[i];
            const auto record = std::lower_bound(
                records.begin(), records.end(), due.recordNumber,
                [](const UsableRecord& r, std::int32_t number) { return r.recordNumber < number; });
            const auto index = static_cast<std::size_t>(record - records.begin());
            const Payment payment = Describe(due, *record, keys[index], year, month);
            icalcomponent_add_component(calendar.get(), Event(payment, stamp, remind).release());
        }
    }

    char* text = icalcomponent_as_ical_string_r(calendar.get());
    if (text == nullptr)
        throw std::bad_alloc();
    std::string out(text);
    std::free(text);
    return out;
}

std::optional<std::int64_t> LastChangeTime(const std::string& path)
{
    std::error_code error;
    const auto changed = std::filesystem::last_write_time(path, error);
    if (error)
        return std::nullopt;
    const auto system = std::chrono::file_clock::to_sys(changed);
    return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
}

} // namespace kestrow
