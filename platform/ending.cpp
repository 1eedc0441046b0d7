#include "ending.h"

#include <QApplication>

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

bool ProgramEnding() { return ending; }

void ResetEndingForTesting() { ending = false; }

} // namespace platform
