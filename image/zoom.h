#pragma once

#include "runtime/mainhost.h"

namespace lumora::image {

enum class ZoomDirection { In, Out };

// The box's new length in twips: doubled or halved. The display layer rounds it to whole
// pixels when it is set, so sizes compound from the box's current size.
double zoomedLength(double twips, ZoomDirection direction);

// Doubles or halves the active window's picture box, repaints it from the loaded picture and
// fits the window around it at the top left corner.
void zoomActiveWindow(runtime::MainHost &host, ZoomDirection direction);

} // namespace lumora::image
