#pragma once

#include "base/twipscale.h"

namespace lumora::runtime {

// The scale of the primary screen (15 twips a pixel at 96 dots per inch).
TwipScale screenScale();
// Device pixels to a pixel of the primary screen: 2 on a desktop scaled by 2. Forms are laid
// out in the screen's pixels, pictures are measured and drawn in its device pixels.
double screenPixelRatio();

// Rounds to a 32-bit integer with halves to even, as the classic runtime's CLng does.
int roundHalfEven32(double value);
// Rounds to a 16-bit integer with halves to even (CInt); throws an overflow error outside range.
short roundHalfEven16(double value);

} // namespace lumora::runtime
