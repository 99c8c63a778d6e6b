#include "runtime/twips.h"

#include "base/runtimeerror.h"

#include <QGuiApplication>
#include <QScreen>
#include <limits>

namespace lumora::runtime {

TwipScale screenScale()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return TwipScale::fromDpi(dpi > 0 ? dpi : 96.0);
}

double screenPixelRatio()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double ratio = screen ? screen->devicePixelRatio() : 1.0;
    return ratio > 0 ? ratio : 1.0;
}

int roundHalfEven32(double value)
{
    const double rounded = std::nearbyint(value); // default rounding mode is to nearest-even
    if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max()))
        throw RuntimeError(errors::Overflow, QStringLiteral("Overflow"));
    return static_cast<int>(rounded);
}

short roundHalfEven16(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<short>::min() &&
          rounded <= std::numeric_limits<short>::max()))
        throw RuntimeError(errors::Overflow, QStringLiteral("Overflow"));
    return static_cast<short>(rounded);
}

} // namespace lumora::runtime
