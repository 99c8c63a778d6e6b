#pragma once

namespace lumora::show {

// Where a box `size` twips long goes so that it is centred on a screen `screen` twips long:
// half the difference, kept in single precision and not rounded to whole twips. Negative
// when the box is larger than the screen, so that its middle part shows.
inline float centredTwips(double screen, double size)
{
    return static_cast<float>((screen - size) / 2.0);
}

} // namespace lumora::show
