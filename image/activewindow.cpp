#include "image/activewindow.h"

namespace lumora::image {

namespace {
void reportNoActiveWindow(runtime::MainHost &host)
{
    runtime::MsgBox(host.dialogs(), QStringLiteral("No active Windows"), runtime::vbInformation,
                    QStringLiteral("Error"));
}
} // namespace

// A picture still arriving is waited for: every command acts on the whole picture.
bool passesNoActiveWindowCheck(runtime::MainHost &host)
{
    if (QWidget *form = host.ActiveForm()) {
        if (ImageWindow *window = asImageWindow(form))
            window->waitForPicture();
        return true;
    }
    reportNoActiveWindow(host);
    return false;
}

ImageWindow *activeImageWindowOrReport(runtime::MainHost &host)
{
    if (!passesNoActiveWindowCheck(host))
        return nullptr;
    ImageWindow *window = asImageWindow(host.ActiveForm());
    if (!window)
        reportNoActiveWindow(host);
    return window;
}

} // namespace lumora::image
