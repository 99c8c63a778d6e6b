#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>

class QPrinter;

namespace lumora::print {

// One document of one page on a printer, built in the steps of the Print command. Each step
// throws a printer run-time error when it fails; the later steps still run and fail cleanly.
class PrintJob final {
public:
    explicit PrintJob(QPrinter &printer) : m_printer(printer) {}
    ~PrintJob();
    PrintJob(const PrintJob &) = delete;
    PrintJob &operator=(const PrintJob &) = delete;

    // Checks that the printer can take a job and starts the document.
    void begin();
    // Paints `image` stretched to `twips`, measured from the top left corner of the
    // printable area.
    void paint(const QImage &image, const QRectF &twips);
    // Ends the page and the document and hands it to the printer. A document with nothing
    // painted on it is withdrawn instead: a blank sheet helps nobody.
    void finish();

private:
    QPrinter &m_printer;
    QPainter m_painter;
    bool m_painted = false;
};

} // namespace lumora::print
