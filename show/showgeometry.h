#pragma once

#include <algorithm>
#include <limits>

namespace lumora::show {

// Where a box `size` twips long goes so that it is centred on a screen `screen` twips long:
// half the difference, kept in single precision and not rounded to whole twips. Negative
// when the box is larger than the screen, so that its middle part shows.
inline float centredTwips(double screen, double size)
{
    return static_cast<float>((screen - size) / 2.0);
}

// The show's position one step on. It never leaves its 16-bit range; a show holds at most
// 32767 pictures, so the step past the last always fits.
inline short stepForward(short index)
{
    return static_cast<short>(std::min<int>(index + 1, std::numeric_limits<short>::max()));
}

// Page Up goes back two places before its step, but never before the first picture: the step
// that follows shows the first picture again rather than a place with no picture.
inline short pageUp(short index)
{
    return static_cast<short>(std::max<int>(index - 2, -1));
}

} // namespace lumora::show
