#pragma once

#include "tests/image/imagetestsupport.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <algorithm>

namespace lumora::testing {

// A plain picture file of one colour, made by ImageMagick; by Qt's writer where ImageMagick's
// policy refuses the size (16000 pixels a side).
inline bool makePlainPicture(const QString &path, int width, int height, const QString &colour)
{
    if (std::max(width, height) > 16000) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(colour));
        return image.save(path, "BMP");
    }
    return makePicture(QStringLiteral("BMP3:") + path, width, height, colour,
                       {QStringLiteral("-type"), QStringLiteral("TrueColor")});
}

// The smallest rectangle holding every pixel of `image` that differs from `background` by more
// than `tolerance` in some channel; null when there is none.
inline QRect boxOfPixelsOtherThan(const QImage &image, QColor background, int tolerance = 24)
{
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (!coloursNear(line[x], background.rgb(), tolerance))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace lumora::testing
