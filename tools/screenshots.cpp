// kestrow-screenshots <folder>: renders Kestrow's windows offscreen into PNG files, from a
// small sample data file and a fixed today (2026-06-15), so the pictures in docs/ can be
// made again after any change to a window and compared. Runs start-up as the program
// does, in a temporary folder of its own; message boxes are recorded, never shown.
#include "app/appstate.h"
#include "app/startup.h"
#include "budget/potcheck.h"
#include "core/paths.h"
#include "forms/addrecorddialog.h"
#include "forms/changeamountdialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "forms/potcheckdialog.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const char kSample[] = "Car insurance|Sub|2026-03-01|1,234.50|12\r\n"
                       "Rent|Sub|2026-06-01|950.00|1\r\n"
                       "Streaming|Sub|2026-06-12|15.99|1\r\n"
                       "Gym|Mem|2026-01-15|420.00|12\r\n"
                       "Holiday|SG|2027-07-01|2,400.00|24\r\n"
                       "Water|Sub|2026-08-01|90.00|3\r\n"
                       "Property tax|Sub|2026-10-01|1,800.00|6\r\n"
                       "Caf\xc3\xa9 club|Mem|2026-06-20|60.00|6\r\n";

bool Save(QWidget* window, const QDir& folder, const QString& name)
{
    window->show();
    QApplication::processEvents();
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "kestrow-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    window->hide();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrow-screenshots <folder>\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "kestrow-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }

    QTemporaryDir folder;
    QFile data(folder.filePath(QString::fromUtf8(kestrow::kDataFileName)));
    if (!folder.isValid() || !data.open(QIODevice::WriteOnly) ||
        data.write(kSample) != qint64(sizeof kSample - 1)) {
        std::fprintf(stderr, "kestrow-screenshots: cannot write the sample data file\n");
        return 1;
    }
    data.close();
    platform::SetProgramFolderForTesting(folder.path());
    platform::SetSystemDateForTesting(QStringLiteral("06-15-2026"));
    platform::MessageTestHook::install();

    bool ok = true;
    AppState state;
    StartupWindows windows;
    windows.showIntroduction = [] {};
    windows.showMain = [&] {
        MainWindow main(state);
        ok = Save(&main, out, QStringLiteral("main-window")) && ok;

        ChangeAmountDialog dollar(QStringLiteral("Car insurance"), 12, 1234.5, &main);
        ok = Save(&dollar, out, QStringLiteral("change-dollar")) && ok;

        EntryListDialog list(state, &main);
        ok = Save(&list, out, QStringLiteral("entry-list")) && ok;

        IntroDialog intro(state, &main);
        ok = Save(&intro, out, QStringLiteral("introduction")) && ok;

        AddRecordDialog add(state, &main);
        ok = Save(&add, out, QStringLiteral("add-record")) && ok;

        EditRecordDialog change(state, 1, &main);
        ok = Save(&change, out, QStringLiteral("edit-record")) && ok;

        const kestrow::ParsedFile parsed = kestrow::ParseText(kSample);
        const kestrow::PotCheck check(
            {&parsed.records, state.todayDate(), state.horizonMonths(), 0});
        PotCheckDialog pot(check, QStringLiteral("2,000"), &main);
        ok = Save(&pot, out, QStringLiteral("check-the-pot")) && ok;
    };
    if (!Main(state, windows)) {
        std::fprintf(stderr, "kestrow-screenshots: start-up failed: %s\n",
                     qPrintable(platform::MessageTestHook::takeShown().join(QLatin1Char(' '))));
        return 1;
    }
    return ok ? 0 : 1;
}
