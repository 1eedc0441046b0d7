#include "app/startup.h"

#include "app/appstate.h"
#include "budget/budget.h"
#include "core/dates.h"
#include "core/paths.h"
#include "core/record.h"
#include "core/text.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"

#include <algorithm>

namespace {

// The lines no window can use: those that are no record at all, and records whose date
// cannot be placed in any month (a year that is not four digits, a date that cannot be
// moved on). Which records can be placed depends on today only, not on the month shown.
std::vector<std::int32_t> unusableLines(const kestrow::ParsedFile& parsed,
                                        const std::string& todayDate)
{
    kestrow::BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = todayDate;
    input.horizonMonths = 0;
    std::vector<std::int32_t> lines = parsed.unusableLines;
    const auto skipped = kestrow::Compute(input).skippedRecords;
    lines.insert(lines.end(), skipped.begin(), skipped.end());
    std::sort(lines.begin(), lines.end());
    return lines;
}

QString unusableLinesNote(const std::string& dataFile, const std::vector<std::int32_t>& lines)
{
    if (lines.empty())
        return {};
    const QString file = QString::fromStdString(dataFile);
    if (lines.size() == 1) {
        return QStringLiteral("Line %1 of %2 is not a valid payment and is ignored; it is kept in "
                              "the file unchanged.")
            .arg(lines.front())
            .arg(file);
    }
    QStringList numbers;
    const std::size_t shown = std::min<std::size_t>(lines.size(), 20);
    for (std::size_t i = 0; i < shown; ++i)
        numbers << QString::number(lines[i]);
    if (lines.size() > shown)
        numbers << QStringLiteral("and %1 more").arg(lines.size() - shown);
    return QStringLiteral("Lines %1 of %2 are not valid payments and are ignored; they are "
                          "kept in the file unchanged.")
        .arg(numbers.join(QStringLiteral(", ")), file);
}

} // namespace

QString TakeInPayments(AppState& state, std::string_view contents, std::set<std::string>& told)
{
    const kestrow::ParsedFile parsed = kestrow::ParseText(contents);
    state.raiseHorizon(kestrow::LargestDuration(parsed.records, kestrow::kDefaultHorizon));
    const std::vector<std::int32_t> unusable = unusableLines(parsed, state.todayDate());
    // Only the lines named are picked out: a file of many megabytes is not copied line by
    // line at start-up.
    std::vector<std::int32_t> untold;
    std::vector<std::string> texts;
    std::int32_t number = 0;
    std::size_t next = 0;
    kestrow::ForEachLine(contents, [&](std::string_view line) {
        ++number;
        for (; next < unusable.size() && unusable[next] == number; ++next) {
            if (told.count(std::string(line)) == 0) {
                untold.push_back(number);
                texts.emplace_back(line);
            }
        }
    });
    told.insert(texts.begin(), texts.end());
    return unusableLinesNote(state.data().dataFile(), untold);
}

bool Main(AppState& state, const StartupWindows& windows)
{
    // The folder as the system's bytes: decoding it would lose a name that is not UTF-8.
    const std::string folder = platform::DataFolder();
    if (folder.empty()) {
        platform::ShowError(nullptr,
                            QStringLiteral("Kestrow cannot create its data file: neither %1 nor "
                                           "a folder for your own data can be written.")
                                .arg(platform::ShownPath(platform::ProgramFolder())));
        return false;
    }
    const std::string dataFile = kestrow::PathIn(folder, kestrow::kDataFileName);
    const std::string tempFile = kestrow::PathIn(folder, kestrow::kScratchFileName);

    // One reading of the clock: today stays the same for the whole run.
    const auto today = kestrow::TodayFromSystemText(platform::SystemDateText().toStdString());
    if (!today) {
        platform::ShowError(nullptr, QStringLiteral("Kestrow cannot read today's date from the "
                                                    "system clock."));
        return false;
    }
    state.setToday(today->date, today->month);

    const kestrow::Status opened = state.openData(dataFile, tempFile);
    if (!opened) {
        platform::ShowError(nullptr, QString::fromStdString(opened.message));
        return false;
    }
    kestrow::DataStore& data = state.data();
    if (!data.recoveryNote().empty())
        platform::ShowMessage(nullptr, QString::fromStdString(data.recoveryNote()));
    // Said once, here: the file is used where it is, but every change would fail.
    if (!data.saveNote().empty())
        platform::ShowError(nullptr, QString::fromStdString(data.saveNote()));

    while (data.length() == 0) {
        windows.showIntroduction();
        if (platform::ProgramEnding())
            return false;
    }

    std::string contents;
    const kestrow::Status read = data.readContents(contents);
    if (read) {
        // Lines the program cannot use stay in the file untouched; the user hears about them
        // once, here, rather than at every refresh.
        std::set<std::string> told;
        const QString note = TakeInPayments(state, contents, told);
        if (!note.isEmpty())
            platform::ShowMessage(nullptr, note);
    } else {
        // The main window reads the file again at every refresh; the first read that
        // succeeds sets the horizon, so a long period is not cut short for the whole run.
        platform::ShowError(nullptr, QString::fromStdString(read.message));
    }

    windows.showMain();
    return true;
}
