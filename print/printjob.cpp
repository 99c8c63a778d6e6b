#include "print/printjob.h"

#include "base/runtimeerror.h"
#include "print/printlayout.h"
#include "print/printqueue.h"

#include <QPrinter>

namespace lumora::print {

namespace {

[[noreturn]] void raise(const QString &text)
{
    throw RuntimeError(errors::PrinterError, text);
}

// A job goes to a print queue, or to a file when one was chosen; without either, Qt would
// silently write nowhere.
void requireDestination(const QPrinter &printer)
{
    if (printer.outputFormat() == QPrinter::NativeFormat)
        requireReadyQueue(printer.printerName());
    else if (printer.outputFileName().isEmpty())
        raise(QStringLiteral("No printer is available"));
}

} // namespace

PrintJob::~PrintJob()
{
    if (m_painter.isActive())
        m_painter.end();
}

void PrintJob::begin()
{
    requireDestination(m_printer);
    m_ready = true;
}

void PrintJob::paint(const QImage &image, const QRectF &twips)
{
    if (!m_ready)
        raise(QStringLiteral("The printer is not available"));
    if (image.isNull())
        raise(QStringLiteral("There is no picture to print"));
    // The painter works in device units measured from the printable area's corner; the
    // picture's twips are converted with the printer's own resolution.
    m_printer.setFullPage(false);
    if (!m_painter.begin(&m_printer))
        raise(QStringLiteral("The printer could not start the document"));
    const QRectF target = twipsToDevice(twips, m_printer.logicalDpiX(), m_printer.logicalDpiY());
    m_painter.drawImage(target, image);
}

void PrintJob::finish()
{
    if (!m_painter.isActive())
        raise(QStringLiteral("Nothing was printed"));
    if (!m_painter.end())
        raise(QStringLiteral("The printer did not take the document"));
    if (m_printer.outputFormat() == QPrinter::NativeFormat)
        requireLastSubmissionAccepted();
}

} // namespace lumora::print
