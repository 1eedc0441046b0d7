// kestrow-report: the main window's figures for one month, in a terminal or as JSON, or
// the calendar and month table exports on standard output. It reads the data file once
// and never writes it: no lock is taken and nothing is created beside it, so it can run
// while Kestrow itself is open. The figures come from the same Compute, MakeLabels and
// DueLines the main window calls, the exports from the same code its context menu uses,
// and the verdict of --pot from the same PotCheck as its "Check the pot" dialog.

#include "budget/budget.h"
#include "budget/potcheck.h"
#include "core/conflicts.h"
#include "core/datastore.h"
#include "core/dates.h"
#include "core/fileops.h"
#include "core/notices.h"
#include "core/numfmt.h"
#include "core/paths.h"
#include "core/record.h"
#include "core/text.h"
#include "exports/exports.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"
#include "platform/textcodec.h"
#include "platform/version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int kExitFile = 1;  // the data file cannot be read
constexpr int kExitUsage = 2; // the command line is wrong

void Fail(const QString& message)
{
    std::fprintf(stderr, "kestrow-report: %s\n", message.toLocal8Bit().constData());
}

// The whole file as bytes, or the reason it cannot be read. The path is the system's
// bytes; a pipe or device at the name is refused rather than waited on.
std::optional<std::string> ReadFile(const std::string& path, QString& error)
{
    kestrow::FileOps& ops = kestrow::FileOps::system();
    const kestrow::FileHandle file(ops, ops.open(path.c_str(), O_RDONLY | O_NONBLOCK, 0));
    struct stat st = {};
    int err = !file.isOpen() || ops.fstat(file.get(), &st) != 0 ? errno : 0;
    if (err == 0 && S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else if (err == 0 && !S_ISREG(st.st_mode)) {
        error = QStringLiteral("it is %1, not a plain file")
                    .arg(QString::fromStdString(kestrow::notices::KindOf(st.st_mode)));
        return std::nullopt;
    }
    std::string contents;
    if (err == 0)
        err = kestrow::ReadAll(ops, file.get(), contents);
    if (err != 0) {
        error = QString::fromLocal8Bit(std::strerror(err));
        return std::nullopt;
    }
    return contents;
}

// The FILE argument as the bytes it was given in: Qt hands arguments over decoded, which
// loses a name that is not valid UTF-8.
std::string ArgumentBytes(int argc, char* argv[], const QString& decoded)
{
    for (int i = argc - 1; i > 0; --i) {
        if (QFile::decodeName(argv[i]) == decoded)
            return argv[i];
    }
    return QFile::encodeName(decoded).toStdString();
}

// The date given with --today, taken as the record forms take a date: the month and day
// may have one digit, and the result is the date as the forms store it.
std::optional<std::string> ParseToday(const QString& text)
{
    std::string date = kestrow::AcceptableDate(text.toStdString());
    if (date.empty())
        return std::nullopt;
    return date;
}

// A whole number of months; whether it lies inside the horizon is known only once the
// file is read.
std::optional<long> ParseOffset(const QString& text)
{
    return kestrow::ParseWhole(text.trimmed().toStdString());
}

// A whole number from 0 to `largest`.
std::optional<int> ParseCount(const QString& text, int largest)
{
    const auto value = kestrow::ParseWhole(text.trimmed().toStdString());
    if (!value || *value > largest)
        return std::nullopt;
    return static_cast<int>(*value);
}

// Standard output through one buffer, handed on whenever it holds enough, so a report of
// thousands of due payments is never held whole in memory. finish() says whether all of
// it arrived, the reason in errno when not: a full disk or a reader that went away must
// not pass for a complete file.
class Output
{
public:
    std::string text;

    void drain()
    {
        if (text.size() >= kChunk)
            write();
    }
    bool finish()
    {
        write();
        return ok_ && std::fflush(stdout) == 0 && std::fclose(stdout) == 0;
    }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    void write()
    {
        if (ok_ && !text.empty())
            ok_ = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        text.clear();
    }
    bool ok_ = true;
};

// --- JSON -------------------------------------------------------------------------------
// Written straight into one buffer: a file of 100,000 payments has thousands due in a
// month, and building a document of objects first would take several times as long as
// computing the figures.

void AppendString(std::string& out, std::string_view utf8)
{
    out += '"';
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> escaped{};
        for (int c = 0; c < 0x20; ++c)
            escaped[c] = true;
        escaped['"'] = escaped['\\'] = escaped[0x7F] = true;
        return escaped;
    }();
    std::size_t plain = 0; // the start of the run of bytes that need no escape
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto u = static_cast<unsigned char>(utf8[i]);
        if (!kEscaped[u])
            continue;
        out.append(utf8.substr(plain, i - plain));
        plain = i + 1;
        if (u == '"' || u == '\\') {
            out += '\\';
            out += char(u);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        }
    }
    out.append(utf8.substr(plain));
    out += '"';
}

// The shortest text that reads back as the same double. JSON has no infinity: a total
// that overflowed is null.
void AppendNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

struct JsonObject
{
    std::string& out;
    const char* indent;
    bool first = true;

    void key(const char* name)
    {
        out += first ? "\n" : ",\n";
        first = false;
        out += indent;
        AppendString(out, name);
        out += ": ";
    }
    void text(const char* name, std::string_view utf8)
    {
        key(name);
        AppendString(out, utf8);
    }
    // Stored bytes, read as Windows-1252 unless `utf8`.
    void stored(const char* name, std::string_view bytes, bool utf8)
    {
        key(name);
        AppendString(out, kestrow::StoredAsUtf8(bytes, utf8));
    }
    void number(const char* name, double value)
    {
        key(name);
        AppendNumber(out, value);
    }
    void whole(const char* name, long value)
    {
        key(name);
        out += std::to_string(value);
    }
};

// The pot check's figures; money in dollars, as exact as the cents it was decided in.
void PotJson(const kestrow::PotVerdict& verdict, std::string& out)
{
    const auto dollars = [](std::int64_t cents) { return static_cast<double>(cents) / 100.0; };
    out += '{';
    JsonObject pot{out, "    "};
    pot.number("holds", dollars(verdict.holds));
    pot.number("required", dollars(verdict.required));
    pot.number("difference", dollars(verdict.difference));
    if (verdict.onTrack()) {
        pot.key("shortMonth");
        out += "null";
    } else {
        pot.text("shortMonth", verdict.shortMonth);
    }
    pot.number("topUpNow", dollars(verdict.topUpNow));
    pot.whole("catchUpMonths", verdict.catchUpMonths);
    pot.number("catchUpMonthly", dollars(verdict.catchUpMonthly));
    pot.number("newMonthly", verdict.newMonthly);
    out += "\n  }";
}

void Json(const std::string& today, int horizon, int offset, const kestrow::BudgetFigures& figures,
          const kestrow::BudgetLabels& labels, const std::vector<std::string>& lines,
          const kestrow::PotVerdict* pot, Output& output)
{
    std::string& out = output.text;
    out += '{';
    JsonObject report{out, "  "};
    report.text("today", today);
    report.whole("horizonMonths", horizon);
    report.whole("monthOffset", offset);
    report.text("shownMonth", figures.shownMonth);
    report.whole("dueMonthKey", figures.dueMonthKey);
    report.number("monthlyRequired", figures.monthlyRequired);
    report.number("billsDue", figures.billsDue);
    report.number("freedAmount", figures.freedAmount);
    report.number("netRequirement", figures.netRequirement);
    report.number("totalThisMonth", figures.totalThisMonth);

    report.key("monthTotals");
    out += '[';
    for (std::size_t i = 0; i < figures.monthTotals.size(); ++i) {
        if (i > 0)
            out += ", ";
        AppendNumber(out, figures.monthTotals[i]);
    }
    out += ']';

    report.key("due");
    out += '[';
    for (std::size_t i = 0; i < figures.due.size(); ++i) {
        const auto& entry = figures.due[i];
        const bool utf8 = kestrow::AllValidUtf8({entry.type, entry.name});
        out += i > 0 ? ",\n    {" : "\n    {";
        JsonObject item{out, "      "};
        item.whole("record", entry.recordNumber);
        const bool dateUtf8 = kestrow::ValidUtf8(entry.effectiveDate);
        item.stored("date", entry.effectiveDate, dateUtf8);
        item.number("amount", entry.amount);
        // Type and name are read the same way; the line made of them (cut at whole
        // characters) is UTF-8 when they and the date are.
        item.stored("type", entry.type, utf8);
        item.stored("name", entry.name, utf8);
        item.stored("line", lines[i], utf8 && dateUtf8 ? true : kestrow::ValidUtf8(lines[i]));
        out += "\n    }";
        output.drain();
    }
    out += figures.due.empty() ? "]" : "\n  ]";

    // The label keys are those of the main window's controls, which scripts know them by.
    report.key("labels");
    out += '{';
    JsonObject shown{out, "    "};
    shown.text("lab1", labels.monthlyRequired);
    shown.text("lab2", labels.totalThisMonth);
    shown.text("lab3", labels.billsDue);
    shown.text("lab4", labels.netRequirement);
    shown.text("labE", labels.dueCaption);
    shown.text("labF", labels.chartCaption);
    out += "\n  }";
    if (pot != nullptr) {
        report.key("pot");
        PotJson(*pot, out);
    }
    out += "\n}\n";
}

// --- Text -------------------------------------------------------------------------------

std::string Trimmed(const std::string& figure)
{
    std::string text = figure;
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

void Text(const kestrow::BudgetLabels& labels, const std::vector<std::string>& lines,
          const kestrow::PotVerdict* pot, Output& output)
{
    const std::pair<const char*, std::string> rows[] = {
        {"Monthly amount required", Trimmed(labels.monthlyRequired)},
        {"Total amount this month", Trimmed(labels.totalThisMonth)},
        {"Bills due this month", Trimmed(labels.billsDue)},
        {"Net requirement is", Trimmed(labels.netRequirement)},
    };
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.second.size());

    std::string& out = output.text;
    for (const auto& row : rows) {
        std::string caption = row.first;
        caption.resize(25, ' ');
        out += caption + std::string(width - row.second.size(), ' ') + row.second + "\n";
    }
    out += "\n" + labels.dueCaption + "\n";
    for (const std::size_t i : kestrow::SortedOrder(lines)) {
        out += kestrow::StoredAsUtf8(lines[i]) + "\n";
        output.drain();
    }
    out += "\n" + labels.chartCaption + "\n";
    if (pot != nullptr)
        out += "\n" + kestrow::VerdictText(*pot) + "\n";
}

// The conflict copies a sync tool left beside the data file, one line each: the report
// goes on from the data file as it is, and Kestrow itself offers to merge them.
void ReportConflictCopies(const std::string& path, const std::string& contents)
{
    // Beside the file itself, not beside a link to it.
    char resolved[PATH_MAX];
    const std::string file = ::realpath(path.c_str(), resolved) ? resolved : path;
    int error = 0;
    for (const std::string& copy : kestrow::ConflictCopiesBeside(file, error)) {
        std::string theirs;
        const std::string problem =
            kestrow::ReadConflictCopy(kestrow::FileOps::system(), copy, theirs);
        const QString shown = platform::ShownPath(copy);
        if (!problem.empty()) {
            Fail(QStringLiteral("%1: a conflict copy of the data file, which cannot be read: %2")
                     .arg(shown, QString::fromStdString(problem)));
            continue;
        }
        const kestrow::LineComparison comparison = kestrow::CompareLines(contents, theirs);
        Fail(QStringLiteral("%1: a conflict copy of the data file, left out of this report "
                            "(lines only in it: %2, only in the data file: %3, differing in "
                            "part: %4); Kestrow offers to merge it")
                 .arg(shown)
                 .arg(comparison.onlyInCopy.size())
                 .arg(comparison.onlyInData.size())
                 .arg(comparison.differing.size()));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    // A reader that closes the pipe early makes the write fail with a message and a
    // non-zero status, instead of ending the program without a word.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrow-report"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kestrow::version::text));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the figures of Kestrow's main window for one month, read from a "
                       "Kestrow data file, or writes the payments due as an iCalendar file "
                       "(--ics) or the month table as CSV (--csv) to standard output. The data "
                       "file is only read, never written."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption todayOption(
        QStringLiteral("today"), QStringLiteral("Compute as if today were <date> (YYYY-MM-DD)."),
        QStringLiteral("date"));
    const QCommandLineOption offsetOption(
        QStringLiteral("offset"),
        QStringLiteral("Show the month <n> months after the current one (0 to the horizon)."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Print one JSON object."));
    const QCommandLineOption icsOption(
        QStringLiteral("ics"),
        QStringLiteral("Write an iCalendar file: one all-day event for every payment due in the "
                       "current month and the following months."));
    const QCommandLineOption monthsOption(
        QStringLiteral("months"),
        QStringLiteral("With --ics: the months after the current one to cover (0 to 1200; "
                       "default: the horizon, at most 1200)."),
        QStringLiteral("n"));
    const QCommandLineOption remindOption(
        QStringLiteral("remind"),
        QStringLiteral("With --ics: a reminder <days> days before each payment (0 to 365)."),
        QStringLiteral("days"));
    const QCommandLineOption csvOption(
        QStringLiteral("csv"),
        QStringLiteral("Write the month table as CSV: month, pot, due, payments and setAside for "
                       "every month of the horizon."));
    parser.addOption(todayOption);
    parser.addOption(offsetOption);
    parser.addOption(jsonOption);
    parser.addOption(icsOption);
    parser.addOption(monthsOption);
    parser.addOption(remindOption);
    const QCommandLineOption potOption(
        QStringLiteral("pot"),
        QStringLiteral("Check the pot: say whether a savings pot holding <amount> now (such as "
                       "2,100 or 2100.50) is on track, and what to set aside when it is short."),
        QStringLiteral("amount"));
    parser.addOption(csvOption);
    parser.addOption(potOption);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The data file (default: the one Kestrow uses)."),
                                 QStringLiteral("[FILE]"));

    const auto usageError = [](const QString& message) {
        Fail(message);
        std::fprintf(stderr, "Try 'kestrow-report --help' for more information.\n");
        return kExitUsage;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return usageError(QStringLiteral("only one data file can be given"));

    const bool ics = parser.isSet(icsOption);
    const bool csv = parser.isSet(csvOption);
    const bool json = parser.isSet(jsonOption);
    if (int(ics) + int(csv) + int(json) > 1)
        return usageError(QStringLiteral("--ics, --csv and --json cannot be combined"));
    if ((ics || csv) && parser.isSet(offsetOption))
        return usageError(QStringLiteral("--offset does not apply to --ics or --csv, which start "
                                         "at the current month"));
    if (!ics && (parser.isSet(monthsOption) || parser.isSet(remindOption)))
        return usageError(QStringLiteral("--months and --remind apply only to --ics"));
    // A wrong amount is refused in one line: the check answers a question, and a script
    // asking it reads one line back.
    std::optional<double> pot;
    if (parser.isSet(potOption)) {
        if (ics || csv) {
            Fail(QStringLiteral("--pot does not apply to --ics or --csv"));
            return kExitUsage;
        }
        if (parser.isSet(offsetOption)) {
            Fail(QStringLiteral("--pot cannot be combined with --offset: the pot is checked "
                                "against the current month"));
            return kExitUsage;
        }
        pot = kestrow::PotAmount(parser.value(potOption).toStdString());
        if (!pot) {
            Fail(QStringLiteral("invalid --pot '%1': give the amount the pot holds now, such "
                                "as 2,100 or 2100.50")
                     .arg(parser.value(potOption)));
            return kExitUsage;
        }
    }
    std::optional<int> months;
    if (parser.isSet(monthsOption)) {
        months = ParseCount(parser.value(monthsOption), kestrow::kLongestCalendarRange);
        if (!months) {
            return usageError(QStringLiteral("invalid --months '%1': give a whole number from 0 "
                                             "to %2")
                                  .arg(parser.value(monthsOption))
                                  .arg(kestrow::kLongestCalendarRange));
        }
    }
    std::optional<int> remind;
    if (parser.isSet(remindOption)) {
        remind = ParseCount(parser.value(remindOption), kestrow::kLongestReminder);
        if (!remind) {
            return usageError(QStringLiteral("invalid --remind '%1': give a whole number of days "
                                             "from 0 to %2")
                                  .arg(parser.value(remindOption))
                                  .arg(kestrow::kLongestReminder));
        }
    }

    std::string today;
    if (parser.isSet(todayOption)) {
        const auto given = ParseToday(parser.value(todayOption));
        if (!given) {
            return usageError(QStringLiteral("invalid --today '%1': give a date as YYYY-MM-DD")
                                  .arg(parser.value(todayOption)));
        }
        today = *given;
    } else {
        const auto system = kestrow::TodayFromSystemText(platform::SystemDateText().toStdString());
        if (!system) {
            Fail(QStringLiteral("cannot read today's date from the system clock"));
            return kExitFile;
        }
        today = system->date;
    }

    const auto offset = ParseOffset(parser.value(offsetOption));
    const auto offsetError = [&](const QString& range) {
        return usageError(QStringLiteral("invalid --offset '%1': give a whole number from 0 to %2")
                              .arg(parser.value(offsetOption), range));
    };
    if (!offset)
        return offsetError(QStringLiteral("the horizon (120 months or more)"));

    std::string path;
    if (!positional.isEmpty()) {
        path = ArgumentBytes(argc, argv, positional.front());
    } else {
        const std::string folder = platform::CompanionDataFolder();
        if (folder.empty()) {
            Fail(QStringLiteral("cannot find Kestrow's data folder; give the data file"));
            return kExitFile;
        }
        path = kestrow::PathIn(folder, kestrow::kDataFileName);
    }
    const QString shownPath = platform::ShownPath(path);

    QString error;
    const auto contents = ReadFile(path, error);
    if (!contents) {
        Fail(QStringLiteral("cannot read %1: %2").arg(shownPath, error));
        return kExitFile;
    }

    ReportConflictCopies(path, *contents);

    const kestrow::ParsedFile parsed = kestrow::ParseText(*contents);
    // Not one payment in a file that holds more than line ends: another kind of file was
    // given, and a report of zeros (with a warning for each of its lines) would pass for
    // an empty plan.
    if (parsed.records.empty() && contents->find_first_not_of(" \t\r\n") != std::string::npos) {
        Fail(QStringLiteral("%1 is not a Kestrow data file: no line of it is a valid payment")
                 .arg(shownPath));
        return kExitFile;
    }
    for (const auto line : parsed.unusableLines) {
        Fail(QStringLiteral("%1: line %2 is not a valid payment and is left out")
                 .arg(shownPath)
                 .arg(line));
    }

    const int horizon = kestrow::LargestDuration(parsed.records, kestrow::kDefaultHorizon);
    if (*offset > horizon)
        return offsetError(QString::number(horizon));

    kestrow::BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = today;
    input.horizonMonths = static_cast<std::int16_t>(horizon);
    input.monthOffset = static_cast<std::int16_t>(*offset);
    const kestrow::BudgetFigures figures = kestrow::Compute(input);
    for (const auto line : figures.skippedRecords) {
        Fail(QStringLiteral("%1: line %2 has a date that cannot be placed (its year is not four "
                            "digits, or it lies too far out) and is left out")
                 .arg(shownPath)
                 .arg(line));
    }

    Output out;
    QString what = QStringLiteral("report");
    if (ics || csv) {
        kestrow::ExportInput exportInput;
        exportInput.records = &parsed.records;
        exportInput.todayDate = today;
        exportInput.horizonMonths = input.horizonMonths;
        if (ics) {
            kestrow::CalendarOptions options;
            options.months = months.value_or(horizon);
            options.remindDays = remind;
            options.stamp = kestrow::LastChangeTime(path).value_or(std::time(nullptr));
            out.text = kestrow::CalendarFile(exportInput, options);
            what = QStringLiteral("calendar");
        } else {
            out.text = kestrow::MonthTable(exportInput);
            what = QStringLiteral("month table");
        }
    } else {
        const kestrow::BudgetLabels labels = kestrow::MakeLabels(figures);
        const std::vector<std::string> lines = kestrow::DueLines(figures.due);
        std::optional<kestrow::PotVerdict> verdict;
        if (pot)
            verdict = kestrow::PotCheck(input).verdict(*pot);
        const kestrow::PotVerdict* checked = verdict ? &*verdict : nullptr;
        if (json)
            Json(today, horizon, *offset, figures, labels, lines, checked, out);
        else
            Text(labels, lines, checked, out);
    }
    if (!out.finish()) {
        Fail(QStringLiteral("cannot write the %1: %2")
                 .arg(what, QString::fromLocal8Bit(std::strerror(errno))));
        return kExitFile;
    }
    return 0;
}
