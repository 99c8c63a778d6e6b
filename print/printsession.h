#pragma once

#include "print/printerchoice.h"
#include "runtime/mainhost.h"

#include <QObject>
#include <QPointer>

namespace lumora::print {

class PreviewWindow;

// What printing keeps while the main window lives: the printer confirmed in Printer Setup
// and the one preview window. It hangs off the main window, so each main window (and each
// test's) has its own.
class PrintSession final : public QObject {
    Q_OBJECT
public:
    static PrintSession &of(runtime::MainHost &host);

    PrinterChoice &printerChoice() { return m_printer; }

    // The open preview window, or nullptr once it was closed.
    PreviewWindow *preview() const;
    void setPreview(PreviewWindow *preview) { m_preview = preview; }

private:
    explicit PrintSession(QObject *parent);

    PrinterChoice m_printer;
    QPointer<PreviewWindow> m_preview;
};

} // namespace lumora::print
