#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QMdiArea;

namespace lumora::app {

enum class Arrangement { Cascade = 0, TileHorizontal = 1, TileVertical = 2 };

// Tiling as the classic multiple-document frame does it: horizontally, the windows one above
// another, each the area's full width; vertically, side by side, each the full height. The
// last window takes the pixels left over by integer division.
std::vector<QRect> tileRects(int count, const QSize &area, Arrangement arrangement);

// Arranges the visible, non-minimized child windows of `area`.
void Arrange(QMdiArea &area, Arrangement arrangement);

} // namespace lumora::app
