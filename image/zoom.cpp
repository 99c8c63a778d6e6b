#include "image/zoom.h"

#include "image/activewindow.h"
#include "runtime/errortrap.h"
#include "runtime/form.h"

namespace lumora::image {

namespace {
constexpr double kZoomFactor = 2;
}

double zoomedLength(double twips, ZoomDirection direction)
{
    return direction == ZoomDirection::In ? twips * kZoomFactor : twips / kZoomFactor;
}

void zoomActiveWindow(runtime::MainHost &host, ZoomDirection direction)
{
    ImageWindow *window = activeImageWindowOrReport(host);
    if (!window)
        return;
    runtime::PictureBox &picdibujo = window->picdibujo();
    const TwipScale &scale = picdibujo.scale();
    // The window's frame, measured before anything changes, is what the window keeps around
    // the box when it is fitted at the end.
    const runtime::FormMetrics frame = runtime::measureForm(*window, scale);
    const int borderWidth = runtime::roundHalfEven32(frame.Width - frame.ScaleWidth);
    const int borderHeight = runtime::roundHalfEven32(frame.Height - frame.ScaleHeight);

    // A refused size counts as a failed paint: both mean this zoom cannot be shown.
    runtime::ErrorTrap trap;
    picdibujo.Cls();
    trap.run([&] { picdibujo.setHeight(zoomedLength(picdibujo.Height(), direction)); });
    trap.run([&] { picdibujo.setWidth(zoomedLength(picdibujo.Width(), direction)); });
    // Always from the picture as loaded, never from the last drawing, so zooms do not blur.
    trap.run([&] {
        picdibujo.PaintPicture(window->pictrans().picture(), 0, 0, picdibujo.Width(),
                               picdibujo.Height());
    });
    if (trap.failed()) {
        runtime::MsgBox(host.dialogs(), QStringLiteral("No more zoom available"),
                        runtime::vbExclamation, QStringLiteral("Error"));
        return;
    }
    // A maximized or minimized window refuses to move; the new drawing stands anyway.
    trap.run([&] {
        runtime::moveForm(*window, 0, 0, picdibujo.ScaleWidth() + borderWidth,
                          picdibujo.ScaleHeight() + borderHeight, scale);
    });
}

} // namespace lumora::image
