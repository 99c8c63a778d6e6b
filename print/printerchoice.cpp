#include "print/printerchoice.h"

namespace lumora::print {

PrinterChoice::PrinterChoice() = default;
PrinterChoice::~PrinterChoice() = default;

QPrinter &PrinterChoice::printerForJob()
{
    if (m_chosen)
        return *m_chosen;
    m_default = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_default;
}

std::unique_ptr<QPrinter> PrinterChoice::draft() const
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!m_chosen)
        return printer;
    printer->setPrinterName(m_chosen->printerName());
    printer->setPageLayout(m_chosen->pageLayout());
    printer->setCopyCount(m_chosen->copyCount());
    printer->setCollateCopies(m_chosen->collateCopies());
    printer->setColorMode(m_chosen->colorMode());
    printer->setDuplex(m_chosen->duplex());
    return printer;
}

void PrinterChoice::confirm(std::unique_ptr<QPrinter> printer)
{
    if (printer)
        m_chosen = std::move(printer);
}

} // namespace lumora::print
