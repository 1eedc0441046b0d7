#include "platform/ending.h"

#include <QApplication>
#include <QTimer>

namespace platform {

namespace {
bool ending = false;
}

void EndProgram()
{
    ending = true;
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

bool ProgramEnding()
{
    return ending;
}

void ResetEndingForTesting()
{
    if (!ending)
        return;
    // QCoreApplication::exit() makes every later event loop return at once until the
    // application loop has run again; run it for one turn so the next test's dialogs work.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    ending = false;
}

} // namespace platform
