// kestrow-report: the main window's figures for one month, in a terminal or as JSON, or
// the calendar and month table exports on standard output. It reads the data file once
// and never writes it: no lock is taken and nothing is created beside it, so it can run
// while Kestrow itself is open. The figures come from the same Compute, MakeLabels and
// DueLines the main window calls, and the exports from the same code its context menu uses.

#include "budget/budget.h"
#include "core/datastore.h"
#include "core/dates.h"
#include "core/notices.h"
#include "core/numfmt.h"
#include "core/record.h"
#include "exports/exports.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"
#include "platform/textcodec.h"
#include "platform/version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    struct stat st
    {
    };
    std::string contents;
    int err = ::fstat(fd, &st) != 0 ? errno : 0;
    if (err == 0 && S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else if (err == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = QStringLiteral("it is %1, not a plain file")
                    .arg(QString::fromStdString(kestrow::notices::KindOf(st.st_mode)));
        return std::nullopt;
    }
    char buf[64 * 1024];
    while (err == 0) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            contents.append(buf, std::size_t(n));
        else if (n == 0)
            break;
        else if (errno != EINTR)
            err = errno;
    }
    ::close(fd);
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

// The date given with --today: YYYY-MM-DD naming a real calendar day.
std::optional<std::string> ParseToday(const QString& text)
{
    const std::string date = text.toStdString();
    if (!kestrow::IsTodayDate(date))
        return std::nullopt;
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
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

// All of it reaches standard output, or the reason why not is in errno: a full disk or a
// reader that went away must not pass for a complete file.
bool WriteAll(const std::string& out)
{
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() &&
           std::fflush(stdout) == 0 && std::fclose(stdout) == 0;
}

// Type and name as text: the record's bytes are shown as UTF-8 when they are UTF-8, and
// otherwise as the Windows code page older files were written in. Both fields are decoded
// together so that they are always read the same way.
struct ShownRecord
{
    QString type;
    QString name;
};
ShownRecord Shown(const std::string& type, const std::string& name)
{
    const QString both = platform::DecodeText(type + kestrow::kFieldSeparator + name);
    const qsizetype bar = both.indexOf(QLatin1Char(kestrow::kFieldSeparator));
    return {both.left(bar), both.mid(bar + 1)};
}

QString ShownLine(const std::string& line)
{
    return platform::DecodeText(line);
}

// --- JSON -------------------------------------------------------------------------------

// JSON has no infinity: a total that overflowed is null.
QJsonValue JsonNumber(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonValue JsonText(const std::string& text)
{
    return QString::fromStdString(text);
}

QByteArray Json(const std::string& today, int horizon, int offset,
                const kestrow::BudgetFigures& figures, const kestrow::BudgetLabels& labels,
                const std::vector<std::string>& lines)
{
    QJsonArray totals;
    for (const double total : figures.monthTotals)
        totals.append(JsonNumber(total));

    QJsonArray due;
    for (std::size_t i = 0; i < figures.due.size(); ++i) {
        const auto& entry = figures.due[i];
        const ShownRecord shown = Shown(entry.type, entry.name);
        due.append(QJsonObject{
            {QStringLiteral("record"), entry.recordNumber},
            {QStringLiteral("date"), platform::DecodeText(entry.effectiveDate)},
            {QStringLiteral("amount"), JsonNumber(entry.amount)},
            {QStringLiteral("type"), shown.type},
            {QStringLiteral("name"), shown.name},
            {QStringLiteral("line"), ShownLine(lines[i])},
        });
    }

    // The label keys are those of the main window's controls, which scripts know them by.
    const QJsonObject labelObject{
        {QStringLiteral("lab1"), JsonText(labels.monthlyRequired)},
        {QStringLiteral("lab2"), JsonText(labels.totalThisMonth)},
        {QStringLiteral("lab3"), JsonText(labels.billsDue)},
        {QStringLiteral("lab4"), JsonText(labels.netRequirement)},
        {QStringLiteral("labE"), JsonText(labels.dueCaption)},
        {QStringLiteral("labF"), JsonText(labels.chartCaption)},
    };
    const QJsonObject report{
        {QStringLiteral("today"), JsonText(today)},
        {QStringLiteral("horizonMonths"), horizon},
        {QStringLiteral("monthOffset"), offset},
        {QStringLiteral("shownMonth"), JsonText(figures.shownMonth)},
        {QStringLiteral("dueMonthKey"), figures.dueMonthKey},
        {QStringLiteral("monthlyRequired"), JsonNumber(figures.monthlyRequired)},
        {QStringLiteral("billsDue"), JsonNumber(figures.billsDue)},
        {QStringLiteral("freedAmount"), JsonNumber(figures.freedAmount)},
        {QStringLiteral("netRequirement"), JsonNumber(figures.netRequirement)},
        {QStringLiteral("totalThisMonth"), JsonNumber(figures.totalThisMonth)},
        {QStringLiteral("monthTotals"), totals},
        {QStringLiteral("due"), due},
        {QStringLiteral("labels"), labelObject},
    };
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

// --- Text -------------------------------------------------------------------------------

std::string Trimmed(const std::string& figure)
{
    std::string text = figure;
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string Text(const kestrow::BudgetLabels& labels, const std::vector<std::string>& lines)
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

    std::string out;
    for (const auto& row : rows) {
        std::string caption = row.first;
        caption.resize(25, ' ');
        out += caption + std::string(width - row.second.size(), ' ') + row.second + "\n";
    }
    out += "\n" + labels.dueCaption + "\n";
    for (const std::size_t i : kestrow::SortedOrder(lines))
        out += ShownLine(lines[i]).toStdString() + "\n";
    out += "\n" + labels.chartCaption + "\n";
    return out;
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
    parser.addOption(csvOption);
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
        const std::string folder = platform::DataFolder();
        if (folder.empty()) {
            Fail(QStringLiteral("cannot find Kestrow's data folder; give the data file"));
            return kExitFile;
        }
        path = folder + "/Kestrow.txt";
    }
    const QString shownPath = platform::ShownPath(path);

    QString error;
    const auto contents = ReadFile(path, error);
    if (!contents) {
        Fail(QStringLiteral("cannot read %1: %2").arg(shownPath, error));
        return kExitFile;
    }

    const kestrow::ParsedFile parsed = kestrow::ParseLines(kestrow::SplitLines(*contents));
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

    std::string out;
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
            out = kestrow::CalendarFile(exportInput, options);
            what = QStringLiteral("calendar");
        } else {
            out = kestrow::MonthTable(exportInput);
            what = QStringLiteral("month table");
        }
    } else {
        const kestrow::BudgetLabels labels = kestrow::MakeLabels(figures);
        const std::vector<std::string> lines = kestrow::DueLines(figures.due);
        out = json ? Json(today, horizon, *offset, figures, labels, lines).toStdString()
                   : Text(labels, lines);
    }
    if (!WriteAll(out)) {
        Fail(QStringLiteral("cannot write the %1: %2")
                 .arg(what, QString::fromLocal8Bit(std::strerror(errno))));
        return kExitFile;
    }
    return 0;
}
