#include "image/activewindow.h"

namespace lumora::image {

namespace {
void reportNoActiveWindow(platform::MainHost &host)
{
    platform::MsgBox(host.dialogs(), QStringLiteral("No active Windows"), platform::vbInformation,
                     QStringLiteral("Error"));
}
} // namespace

bool passesNoActiveWindowCheck(platform::MainHost &host)
{
    if (host.ActiveForm())
        return true;
    reportNoActiveWindow(host);
    return false;
}

ImageWindow *activeImageWindowOrReport(platform::MainHost &host)
{
    if (!passesNoActiveWindowCheck(host))
        return nullptr;
    ImageWindow *window = asImageWindow(host.ActiveForm());
    if (!window)
        reportNoActiveWindow(host);
    return window;
}

} // namespace lumora::image
