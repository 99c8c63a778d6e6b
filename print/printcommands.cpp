#include "print/printcommands.h"

#include "image/activewindow.h"
#include "print/previewwindow.h"
#include "print/printjob.h"
#include "print/printlayout.h"
#include "runtime/errortrap.h"

namespace lumora::print {

using runtime::ErrorTrap;

namespace {

const QString kPrinting = QStringLiteral("Printing...");

image::ImageWindow &requireImageWindow(QWidget *form)
{
    image::ImageWindow *window = image::asImageWindow(form);
    if (!window)
        throw RuntimeError(errors::InvalidPropertyValue,
                           QStringLiteral("The active window holds no picture"));
    return *window;
}

void setStatus(runtime::MainHost &host, const QString &text)
{
    host.StatBar().setText(1, text);
    // The job blocks the event loop; paint the panel now so the user sees it meanwhile.
    host.StatBar().Refresh();
}

} // namespace

PrintCommands::PrintCommands(runtime::MainHost &host) : m_host(host) {}

PrintCommands::~PrintCommands() = default;

PreviewWindow *PrintCommands::preview() const
{
    // A closed window is deleted later; until then it must not be reused.
    return m_preview && !m_preview->unloaded() ? m_preview.data() : nullptr;
}

// Prints what the active picture window shows, at its on-screen size from the top left corner
// of the printable area. The classic runtime needed the printer switched to twips first (its
// ScaleMode); here the twips are converted with the printer's resolution instead.
void PrintCommands::print()
{
    ErrorTrap trap;
    if (!image::passesNoActiveWindowCheck(m_host))
        return;
    trap.run([&] { setStatus(m_host, kPrinting); });
    PrintJob job(m_printer.printerForJob());
    trap.run([&] { job.begin(); });
    trap.run([&] {
        const runtime::PictureBox &picdibujo = requireImageWindow(m_host.ActiveForm()).picdibujo();
        job.paint(picdibujo.Image(), printRectangle(printedSize(picdibujo)));
    });
    trap.run([&] { job.finish(); });
    trap.run([&] { setStatus(m_host, QString()); });
    if (trap.failed())
        runtime::MsgBox(m_host.dialogs(), QStringLiteral("Print Error!"), runtime::vbInformation,
                        QStringLiteral("Error"));
}

void PrintCommands::setUpPrinter()
{
    std::unique_ptr<QPrinter> draft = m_printer.draft();
    runtime::CommonDialog &dialog = m_host.dlgcomondialog();
    dialog.DialogTitle = QStringLiteral("Select Printer");
    dialog.Flags = runtime::cdl::PrintHidePrintToFile;
    if (dialog.ShowPrinter(*draft))
        m_printer.confirm(std::move(draft));
}

// With the preview itself active there is no loaded picture to show: the command reports
// "No active Windows" like every other command on the active picture.
void PrintCommands::showPreview()
{
    image::ImageWindow *window = image::activeImageWindowOrReport(m_host);
    if (!window)
        return;
    PreviewWindow *frmpreview = preview();
    if (!frmpreview) {
        frmpreview = PreviewWindow::Load(m_host);
        m_preview = frmpreview;
    }
    frmpreview->showPicture(window->pictrans().picture());
    frmpreview->Show();
}

} // namespace lumora::print
