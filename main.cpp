// Kestrow's entry point: creates the program state and the windows, and wires start-up to
// them. Everything else lives in the libraries (see app/appstate.h for the map).
#include "app/appstate.h"
#include "app/startup.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "platform/ending.h"
#include "platform/widgets.h"

#include <QApplication>
#include <QTimer>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrow"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrow.Kestrow"));
    // Every window is laid out in twips for an 8-point sans-serif; the larger default
    // font of most Linux desktops would not fit its labels and buttons.
    QApplication::setFont(platform::SansFont(8.25));

    AppState state;
    // Lives until the program ends; closing it ends the program.
    std::unique_ptr<MainWindow> mainWindow;

    StartupWindows windows;
    windows.showIntroduction = [&state] {
        IntroDialog intro(state);
        intro.exec();
    };
    windows.showMain = [&state, &mainWindow] {
        mainWindow = std::make_unique<MainWindow>(state);
        mainWindow->show();
        // Changes made on another computer (through a synced folder) show as they arrive.
        mainWindow->watchDataFile();
        // The icon needs the SVG plug-ins and the MIME database, the slowest part of
        // start-up; it follows the visible window a moment later, where no one can tell.
        QTimer::singleShot(0, [] { QApplication::setWindowIcon(ProgramIcon()); });
    };
    if (!Main(state, windows))
        return platform::ProgramEnding() ? 0 : 1; // "Exit", or a start-up failure reported
    return QApplication::exec();
}
