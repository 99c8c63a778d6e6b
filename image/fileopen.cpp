#include "image/fileopen.h"

#include "image/openreadahead.h"
#include "picture/loadpicture.h"
#include "runtime/accessiblepicture.h"
#include "runtime/errortrap.h"
#include "runtime/form.h"

namespace lumora::image {

using runtime::ErrorTrap;

namespace {

// How an image window's picture is read: decoded straight into the drawing it is shown in,
// the picture with the strip its frame in `pictrans` adds, in the drawing's background. The
// drawing has device pixels, so on a scaled screen the strip has as many more.
picture::LoadOptions drawingOptions()
{
    picture::LoadOptions options;
    const int frame = 2 * runtime::borderPixels(runtime::BorderStyle::Flat);
    options.strip = {qRound(frame * runtime::screenPixelRatio()),
                     QColor::fromRgb(ImageWindow::kBackColor).rgb()};
    return options;
}

} // namespace

void openChosenPicture(runtime::MainHost &host)
{
    ErrorTrap trap;
    runtime::CommonDialog &dialog = host.dlgcomondialog();
    dialog.DialogTitle = QStringLiteral("Open File");
    dialog.Filter = kOpenFilter;
    dialog.Flags = runtime::cdl::HideReadOnly;
    dialog.FileName = QString();
    // The file the dialog points at is read while the user is still choosing.
    OpenReadAhead readAhead(drawingOptions());
    dialog.PointedFile = [&readAhead](const QString &path) { readAhead.point(path); };
    trap.run([&] { dialog.ShowOpen(); });
    dialog.PointedFile = nullptr;
    const QString path = dialog.FileName;
    if (path.size() < 1)
        return;
    openPictureWindow(host, path, &readAhead);
}

ImageWindow *openPictureWindow(runtime::MainHost &host, const QString &path,
                               OpenReadAhead *readAhead)
{
    ErrorTrap trap;
    ImageWindow *window = ImageWindow::Load(host);
    window->setCaption(path);
    const TwipScale &scale = window->picdibujo().scale();
    const runtime::FormMetrics frame = runtime::measureForm(*window, scale);
    const int borderWidth =
        trap.value([&] { return runtime::roundHalfEven32(frame.Width - frame.ScaleWidth); }, 0);
    const int borderHeight =
        trap.value([&] { return runtime::roundHalfEven32(frame.Height - frame.ScaleHeight); }, 0);

    runtime::PictureBox &pictrans = window->pictrans();
    runtime::PictureBox &picdibujo = window->picdibujo();
    trap.run([&] {
        pictrans.setPicture(readAhead ? readAhead->take(path)
                                      : picture::LoadPicture(path, drawingOptions()));
    });
    trap.run([&] { picdibujo.setHeight(pictrans.Height()); });
    trap.run([&] { picdibujo.setWidth(pictrans.Width()); });
    trap.run([&] { picdibujo.PaintPicture(pictrans.picture(), 0, 0); });
    runtime::describePicture(picdibujo, path, pictrans);
    trap.run([&] {
        runtime::moveForm(*window, 0, 0, double(picdibujo.Width()) + borderWidth,
                          double(picdibujo.Height()) + borderHeight, scale);
    });
    trap.run([&] { host.StatBar().setText(2, path); });
    window->Show();
    return window;
}

} // namespace lumora::image
