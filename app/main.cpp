// Kestrow's entry point: wires start-up to the windows and runs the event loop.
#include "ending.h"
#include "frmintro.h"
#include "frmmain.h"
#include "startup.h"
#include "widgets.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrow"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrow.Kestrow"));
    QApplication::setWindowIcon(ProgramIcon());
    // Every window is laid out in twips for an 8-point sans-serif; the larger default
    // font of most Linux desktops would not fit its labels and buttons.
    QApplication::setFont(platform::SansFont(8.25));

    modMain::StartupWindows windows;
    windows.showIntroduction = [] {
        frmIntro intro;
        intro.exec();
    };
    windows.showMain = [] {
        // Lives until the program ends; closing it ends the program.
        auto* w = new frmMain;
        w->show();
    };
    if (!modMain::Main(windows))
        return platform::ProgramEnding() ? 0 : 1; // "Exit", or a start-up failure reported
    return QApplication::exec();
}
