#include "startup.h"

#include "budget.h"
#include "dates.h"
#include "ending.h"
#include "messages.h"
#include "modmain.h"
#include "programfolder.h"
#include "record.h"
#include "systemdate.h"

#include <QFile>

#include <algorithm>

namespace modMain {

namespace {

// Lines the program cannot use stay in the file untouched; the user hears about them
// once, here, rather than at every refresh.
void reportUnusableLines(const std::vector<std::int32_t>& lines)
{
    if (lines.empty())
        return;
    const QString file = QString::fromStdString(DataFile);
    QString text;
    if (lines.size() == 1) {
        text = QStringLiteral("Line %1 of %2 is not a valid payment and is ignored; it is kept in "
                              "the file unchanged.")
                   .arg(lines.front())
                   .arg(file);
    } else {
        QStringList numbers;
        const std::size_t shown = std::min<std::size_t>(lines.size(), 20);
        for (std::size_t i = 0; i < shown; ++i)
            numbers << QString::number(lines[i]);
        if (lines.size() > shown)
            numbers << QStringLiteral("and %1 more").arg(lines.size() - shown);
        text = QStringLiteral("Lines %1 of %2 are not valid payments and are ignored; they are "
                              "kept in the file unchanged.")
                   .arg(numbers.join(QStringLiteral(", ")), file);
    }
    platform::ShowMessage(nullptr, text);
}

// The lines no window can use: those that are no record at all, and records whose date
// cannot be placed in any month (a year that is not four digits, a date that cannot be
// moved on). Which records can be placed depends on today only, not on the month shown.
std::vector<std::int32_t> unusableLines(const kestrow::ParsedFile& parsed)
{
    kestrow::BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = TodayDate;
    input.horizonMonths = 0;
    std::vector<std::int32_t> lines = parsed.unusableLines;
    const auto skipped = kestrow::Compute(input).skippedRecords;
    lines.insert(lines.end(), skipped.begin(), skipped.end());
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

bool Main(const StartupWindows& windows)
{
    const QString folder = platform::DataFolder();
    if (folder.isEmpty()) {
        platform::ShowError(nullptr,
                            QStringLiteral("Kestrow cannot create its data file: neither %1 nor "
                                           "a folder for your own data can be written.")
                                .arg(platform::ProgramFolder()));
        return false;
    }
    DataFile = QFile::encodeName(folder + QStringLiteral("/Kestrow.txt")).toStdString();
    TempFile = QFile::encodeName(folder + QStringLiteral("/xyzzy.tmp")).toStdString();
    HorizonMonths = kDefaultHorizon;

    // One reading of the clock: today stays the same for the whole run.
    const auto today = kestrow::TodayFromSystemText(platform::SystemDateText().toStdString());
    if (!today) {
        platform::ShowError(nullptr, QStringLiteral("Kestrow cannot read today's date from the "
                                                    "system clock."));
        return false;
    }
    TodayDate = today->date;
    TodayMonth = today->month;

    const kestrow::Status opened = OpenData(DataFile, TempFile);
    if (!opened) {
        platform::ShowError(nullptr, QString::fromStdString(opened.message));
        return false;
    }
    if (!Data().recoveryNote().empty())
        platform::ShowMessage(nullptr, QString::fromStdString(Data().recoveryNote()));

    while (Data().length() == 0) {
        windows.showIntroduction();
        if (platform::ProgramEnding())
            return false;
    }

    const kestrow::ParsedFile parsed = kestrow::ParseLines(Data().readLines());
    reportUnusableLines(unusableLines(parsed));
    HorizonMonths = kestrow::LargestDuration(parsed.records, kDefaultHorizon);
    MonthTotals.assign(std::size_t(HorizonMonths) + 1, 0.0);

    windows.showMain();
    return true;
}

} // namespace modMain
