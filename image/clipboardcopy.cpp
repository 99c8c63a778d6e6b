#include "image/clipboardcopy.h"

#include "image/activewindow.h"
#include "runtime/errortrap.h"

#include <QClipboard>
#include <QGuiApplication>

namespace lumora::image {

void copyActivePicture(runtime::MainHost &host)
{
    runtime::ErrorTrap trap;
    ImageWindow *window = activeImageWindowOrReport(host);
    if (!window)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    trap.run([&] { clipboard->clear(); });
    trap.run([&] {
        // The zoomed view as drawn, not the loaded picture.
        const QImage drawn = window->picdibujo().Image();
        if (!drawn.isNull())
            clipboard->setImage(drawn);
    });
}

} // namespace lumora::image
