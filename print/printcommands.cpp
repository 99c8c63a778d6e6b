#include "print/printcommands.h"

#include "image/activewindow.h"
#include "print/previewwindow.h"
#include "print/printjob.h"
#include "print/printlayout.h"
#include "print/printsession.h"
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

// Prints what the active picture window shows, at its on-screen size from the top left corner
// of the printable area. The classic runtime needed the printer switched to twips first (its
// ScaleMode); here the twips are converted with the printer's resolution instead.
void mnufileprint_Click(runtime::MainHost &host)
{
    ErrorTrap trap;
    if (!image::passesNoActiveWindowCheck(host))
        return;
    trap.run([&] { setStatus(host, kPrinting); });
    PrintJob job(PrintSession::of(host).printerChoice().printerForJob());
    trap.run([&] { job.begin(); });
    trap.run([&] {
        const runtime::PictureBox &picdibujo = requireImageWindow(host.ActiveForm()).picdibujo();
        const QSizeF box(picdibujo.Width(), picdibujo.Height());
        job.paint(picdibujo.Image(), printRectangle(box));
    });
    trap.run([&] { job.finish(); });
    trap.run([&] { setStatus(host, QString()); });
    if (trap.failed())
        runtime::MsgBox(host.dialogs(), QStringLiteral("Print Error!"), runtime::vbInformation,
                        QStringLiteral("Error"));
}

void mnufileselprint_Click(runtime::MainHost &host)
{
    PrinterChoice &choice = PrintSession::of(host).printerChoice();
    std::unique_ptr<QPrinter> draft = choice.draft();
    runtime::CommonDialog &dialog = host.dlgcomondialog();
    dialog.DialogTitle = QStringLiteral("Select Printer");
    dialog.Flags = runtime::cdl::PrintHidePrintToFile;
    if (dialog.ShowPrinter(*draft))
        choice.confirm(std::move(draft));
}

// With the preview itself active there is no loaded picture to show: the command reports
// "No active Windows" like every other command on the active picture.
void mnufilepp_Click(runtime::MainHost &host)
{
    image::ImageWindow *window = image::activeImageWindowOrReport(host);
    if (!window)
        return;
    PrintSession &session = PrintSession::of(host);
    PreviewWindow *preview = session.preview();
    if (!preview) {
        preview = PreviewWindow::Load(host);
        session.setPreview(preview);
    }
    preview->showPicture(window->pictrans().picture());
    preview->Show();
}

} // namespace lumora::print
