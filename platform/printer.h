#pragma once
// Printing plain lines of text, one printed line each, on the default printer. Where the
// machine has no printer, the user is told so and may save the same lines as a PDF file
// instead. A failed print is reported in a message box and the program goes on.
//
// Tests switch on the hook: no real printer is used and no file dialog is shown. Whether
// a printer is available and what the file dialog answers are set in advance; lines sent
// to the printer are recorded, while a PDF is really written to the file named.

#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

void PrintLines(QWidget* parent, const QStringList& lines, const QString& documentName);

// Writes the lines as a PDF file, in the same layout as on paper. Returns an empty text,
// or the reason why the file could not be written.
QString WritePdf(const QString& fileName, const QStringList& lines, const QString& documentName);

struct PrinterTestHook
{
    static void install(); // no printer available and every file dialog cancelled
    static void uninstall();
    static void setPrinterAvailable(bool available);
    // What every later save dialog answers; an empty text cancels it.
    static void setSaveFileName(const QString& fileName);
    // Lines sent to the printer since the last call.
    static QStringList takePrinted();
};

} // namespace platform
