// kestrow-a11y-app <folder> <MM-DD-YYYY>: Kestrow as main() starts it, with the data file
// in <folder> and a fixed today, for atspi_check.py to read through the accessibility bus.
// Message boxes are recorded, never shown, so no check can be left waiting on one.
#include "app/appstate.h"
#include "app/startup.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"
#include "platform/widgets.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrow-a11y-app <folder> <MM-DD-YYYY>\n");
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Kestrow"));
    QApplication::setFont(platform::SansFont(8.25));
    platform::SetProgramFolderForTesting(QString::fromLocal8Bit(argv[1]));
    platform::SetSystemDateForTesting(QString::fromLatin1(argv[2]));
    platform::MessageTestHook::install();

    AppState state;
    std::unique_ptr<MainWindow> mainWindow;
    StartupWindows windows;
    windows.showIntroduction = [&state] {
        IntroDialog intro(state);
        intro.exec();
    };
    windows.showMain = [&state, &mainWindow] {
        mainWindow = std::make_unique<MainWindow>(state);
        mainWindow->show();
    };
    if (!Main(state, windows))
        return 0;
    return QApplication::exec();
}
