#pragma once
// Printing plain lines of text, one printed line each, on the default printer. Where the
// machine has no printer, the user is told so and may save the same lines as a PDF file
// instead. A failed print is reported in a message box and the program goes on.
//
// Tests switch on the hook: no real printer is used. Whether a printer is available is set
// in advance and lines sent to the printer are recorded; the PDF's file name comes from
// the save dialog (platform/savefile.h, with its own hook), and the PDF is really written.

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
    static void install(); // no printer available
    static void uninstall();
    static void setPrinterAvailable(bool available);
    // Lines sent to the printer since the last call.
    static QStringList takePrinted();
};

} // namespace platform
