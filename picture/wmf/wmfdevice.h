#pragma once

// Rectangles on the device, shared by the player's files.

#include <QRect>
#include <QRectF>
#include <cmath>

namespace lumora::picture::wmf {

inline double area(const QRectF &r)
{
    return r.isValid() ? r.width() * r.height() : 0.0;
}

// The device pixels GDI fills for a rectangle: corners rounded, right and bottom edges left out.
inline QRect deviceRect(const QRectF &r)
{
    const QRectF n = r.normalized();
    return QRect(QPoint(int(std::lround(n.left())), int(std::lround(n.top()))),
                 QPoint(int(std::lround(n.right())) - 1, int(std::lround(n.bottom())) - 1));
}

} // namespace lumora::picture::wmf
