#include "image/fileopen.h"

#include "image/openreadahead.h"
#include "image/pictureload.h"
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

// A picture read within a frame opens whole, as if it had been read before. Our readers
// manage a few hundred megapixels a second at best, so a larger picture is not waited for:
// its window opens at once and shows its rows as they come.
std::chrono::milliseconds frameWaitFor(PictureLoad &load)
{
    constexpr qint64 kPixelsReadInAFrame = 4'000'000;
    const QSize size = load.arrival().pictureSize();
    const bool small = qint64(size.width()) * size.height() <= kPixelsReadInAFrame;
    return std::chrono::milliseconds(small ? 16 : 0);
}

struct WindowBorders {
    int width = 0;
    int height = 0;
};

// picdibujo takes pictrans's size and the window fits around it, its frame as measured when
// it was loaded.
void fitAroundPictrans(ImageWindow &window, const WindowBorders &borders, ErrorTrap &trap)
{
    runtime::PictureBox &pictrans = window.pictrans();
    runtime::PictureBox &picdibujo = window.picdibujo();
    trap.run([&] { picdibujo.setHeight(pictrans.Height()); });
    trap.run([&] { picdibujo.setWidth(pictrans.Width()); });
    trap.run([&] {
        runtime::moveForm(window, 0, 0, double(picdibujo.Width()) + borders.width,
                          double(picdibujo.Height()) + borders.height, picdibujo.scale());
    });
}

// The picture read whole: pictrans keeps it and picdibujo shows it, as when it is read before
// the window opens. A read that failed leaves the empty window a picture that cannot be read
// gets, of its design size.
void finishPicture(ImageWindow &window, PictureLoad &load, const QString &path,
                   const WindowBorders &borders)
{
    ErrorTrap trap;
    runtime::PictureBox &pictrans = window.pictrans();
    trap.run([&] { pictrans.setPicture(load.take(path)); });
    if (pictrans.picture().isNull()) {
        window.restorePictrans();
        window.picdibujo().Cls();
        fitAroundPictrans(window, borders, trap);
    } else {
        trap.run([&] { window.picdibujo().PaintPicture(pictrans.picture(), 0, 0); });
    }
    runtime::describePicture(window.picdibujo(), path, pictrans);
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
    WindowBorders borders;
    borders.width =
        trap.value([&] { return runtime::roundHalfEven32(frame.Width - frame.ScaleWidth); }, 0);
    borders.height =
        trap.value([&] { return runtime::roundHalfEven32(frame.Height - frame.ScaleHeight); }, 0);

    runtime::PictureBox &pictrans = window->pictrans();
    runtime::PictureBox &picdibujo = window->picdibujo();
    std::unique_ptr<PictureLoad> load =
        readAhead ? readAhead->take(path) : std::make_unique<PictureLoad>(path, drawingOptions());
    if (load->waitForBegin() && !load->arrival().waitForEnd(frameWaitFor(*load))) {
        // The picture's size is known and its rows are on their way: the window opens at
        // once and shows them as they come.
        pictrans.fitToArrivingPicture(load->arrival().pictureSize());
        window->receive(std::move(load), [path, borders](ImageWindow &w, PictureLoad &done) {
            finishPicture(w, done, path, borders);
        });
    } else {
        trap.run([&] { pictrans.setPicture(load->take(path)); });
    }
    fitAroundPictrans(*window, borders, trap);
    if (!window->isArriving()) {
        trap.run([&] { picdibujo.PaintPicture(pictrans.picture(), 0, 0); });
        runtime::describePicture(picdibujo, path, pictrans);
    }
    trap.run([&] { host.StatBar().setText(2, path); });
    window->Show();
    return window;
}

} // namespace lumora::image
