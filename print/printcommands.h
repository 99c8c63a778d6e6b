#pragma once

#include "print/printerchoice.h"
#include "runtime/mainhost.h"

#include <QPointer>

namespace lumora::print {

class PreviewWindow;

// The printing subsystem's commands and what they keep while the main window lives: the
// printer confirmed in Printer Setup and the one preview window. The main window owns the
// one instance.
class PrintCommands final {
public:
    explicit PrintCommands(runtime::MainHost &host);
    ~PrintCommands();
    PrintCommands(const PrintCommands &) = delete;
    PrintCommands &operator=(const PrintCommands &) = delete;

    void print();
    void setUpPrinter();
    void showPreview();

    // The open preview window, or nullptr once it was closed.
    PreviewWindow *preview() const;

private:
    runtime::MainHost &m_host;
    PrinterChoice m_printer;
    QPointer<PreviewWindow> m_preview;
};

} // namespace lumora::print
