#include "print/printjob.h"

#include "base/runtimeerror.h"
#include "print/printlayout.h"
#include "print/printqueue.h"

#include <QPrinter>
#include <algorithm>
#include <cmath>

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

// Qt writes the pictures of a PDF document as JPEG, which holds at most 65500 pixels a side:
// a longer picture comes out on paper as a blank or broken patch. Such a side is narrowed to
// the pixels the page has for it, which loses nothing that would be printed.
constexpr int kLongestPdfPictureSide = 65500;

int printableSide(int side, qreal deviceSide)
{
    if (side <= kLongestPdfPictureSide)
        return side;
    return std::clamp(int(std::ceil(deviceSide)), 1, kLongestPdfPictureSide);
}

QImage printable(const QImage &image, const QSizeF &device)
{
    const QSize size(printableSide(image.width(), device.width()),
                     printableSide(image.height(), device.height()));
    if (size == image.size())
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
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
    m_painter.drawImage(target, printable(image, target.size()));
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
