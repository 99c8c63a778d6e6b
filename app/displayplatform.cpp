#include "app/displayplatform.h"

#include <QByteArray>
#include <QtGlobal>

namespace lumora::app {

namespace {
const char *const kPlatformVariable = "QT_QPA_PLATFORM";
}

bool preferXWayland()
{
    if (qEnvironmentVariableIsSet(kPlatformVariable) ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    return qputenv(kPlatformVariable, QByteArrayLiteral("xcb"));
}

void leavePlatformChoice()
{
    qunsetenv(kPlatformVariable);
}

} // namespace lumora::app
