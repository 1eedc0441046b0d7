#include "platform/printer.h"

#include "platform/messages.h"
#include "platform/savefile.h"
#include "platform/widgets.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace platform {

namespace {

struct HookState
{
    bool installed = false;
    bool printerAvailable = false;
    QStringList printed;
};
HookState& hook()
{
    static HookState state;
    return state;
}

// The fixed-pitch font of the list on screen, so the columns line up on paper too.
constexpr qreal kPrintPoints = 10;

// Lays the lines out from the top of the first page, one line each, and starts a new page
// when one is full. Lines wider than the page are cut at its edge, as on any printer.
bool PaintLines(QPrinter& printer, const QStringList& lines)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(FixedPitchFont(kPrintPoints));
    const QFontMetrics metrics = painter.fontMetrics();
    const int pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    int y = 0;
    bool pageEmpty = true;
    for (const QString& line : lines) {
        if (!pageEmpty && y + metrics.height() > pageHeight) {
            if (!printer.newPage()) {
                painter.end();
                return false;
            }
            y = 0;
        }
        painter.drawText(0, y + metrics.ascent(), line);
        y += metrics.lineSpacing();
        pageEmpty = false;
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}

bool PrinterAvailable()
{
    if (hook().installed)
        return hook().printerAvailable;
    return !QPrinterInfo::availablePrinters().isEmpty();
}

void PrintOnPrinter(QWidget* parent, const QStringList& lines, const QString& documentName)
{
    if (hook().installed) {
        hook().printed << lines;
        return;
    }
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        info = QPrinterInfo::availablePrinters().value(0);
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(documentName);
    if (!PaintLines(printer, lines)) {
        ShowError(parent, QStringLiteral("Kestrow could not print the list: the printer %1 "
                                         "did not accept it.")
                              .arg(info.printerName()));
    }
}

void OfferPdf(QWidget* parent, const QStringList& lines, const QString& documentName)
{
    if (!AskYesNo(parent, kProgramTitle,
                  QStringLiteral("No printer is available. Save the list as a PDF file instead?")))
        return;
    const QString fileName =
        AskSaveFileName(parent, QStringLiteral("Save the list as a PDF file"),
                        QStringLiteral("Kestrow entries.pdf"), QStringLiteral("PDF files (*.pdf)"));
    if (fileName.isEmpty())
        return;
    const QString failure = WritePdf(fileName, lines, documentName);
    if (!failure.isEmpty()) {
        ShowError(parent, QStringLiteral("Kestrow could not save the list as %1: %2.")
                              .arg(QDir::toNativeSeparators(fileName), failure));
    }
}

} // namespace

void PrintLines(QWidget* parent, const QStringList& lines, const QString& documentName)
{
    if (lines.isEmpty())
        return; // an empty list would only waste a blank page
    if (PrinterAvailable())
        PrintOnPrinter(parent, lines, documentName);
    else
        OfferPdf(parent, lines, documentName);
}

QString WritePdf(const QString& fileName, const QStringList& lines, const QString& documentName)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setDocName(documentName);
    printer.setCreator(kProgramTitle);
    if (PaintLines(printer, lines))
        return {};
    // The PDF writer gives no reason of its own; opening the file ourselves finds it.
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    return QStringLiteral("writing the file failed");
}

void PrinterTestHook::install()
{
    hook() = HookState{};
    hook().installed = true;
}
void PrinterTestHook::uninstall()
{
    hook() = HookState{};
}
void PrinterTestHook::setPrinterAvailable(bool available)
{
    hook().printerAvailable = available;
}
QStringList PrinterTestHook::takePrinted()
{
    return std::exchange(hook().printed, {});
}

} // namespace platform
