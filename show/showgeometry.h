#pragma once

#include <QSize>
#include <cmath>

namespace lumora::show {

// Where a box `size` twips long goes so that it is centred on a screen `screen` twips long:
// half the difference, kept in single precision and not rounded to whole twips. Negative
// when the box is larger than the screen, so that its middle part shows.
inline float centredTwips(double screen, double size)
{
    return static_cast<float>((screen - size) / 2.0);
}

// How much of the middle of a picture a box centred on a screen of `screen` pixels can show,
// in the picture's device pixels (`pixelRatio` of them to a pixel): the screen, and a few
// pixels more each way for the box's frame and for the centring's rounding to whole pixels.
inline QSize centreOnScreen(QSize screen, double pixelRatio)
{
    constexpr int kSlack = 4;
    const auto device = [pixelRatio](int pixels) {
        return static_cast<int>(std::ceil((pixels + 2 * kSlack) * pixelRatio));
    };
    return {device(screen.width()), device(screen.height())};
}

} // namespace lumora::show
