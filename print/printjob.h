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

    // Checks that the printer can take a job now.
    void begin();
    // Starts the document and paints `image` stretched to `twips`, measured from the top left
    // corner of the printable area. The document only starts with something to paint: the
    // print system offers no way to withdraw one, and a blank sheet helps nobody.
    void paint(const QImage &image, const QRectF &twips);
    // Ends the page and the document and hands it to the printer.
    void finish();

private:
    QPrinter &m_printer;
    QPainter m_painter;
    bool m_ready = false;
};

} // namespace lumora::print
