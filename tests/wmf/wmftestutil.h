#pragma once

// Shared by the WMF tests: where the committed files are, reading them, rendering a picture.

#include "picture/wmf/wmfpicture.h"
#include "tests/pictures/picturecompare.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>

namespace wmftest {

// Opaque colours the test drawings use.
constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kGreen = 0xff00ff00;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kYellow = 0xffffff00;

inline QString dataPath(const QString &relative)
{
    return QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/wmf/") + relative;
}

inline QByteArray readData(const QString &relative)
{
    QFile file(dataPath(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Renders into a white image of `size`, filling it.
inline QImage render(const lumora::picture::VectorPicture &picture, QSize size,
                     QRgb background = 0xffffffff)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    picture.render(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

// The natural size in pixels at 96 per inch (15 twips a pixel).
inline QSize naturalPixels(const lumora::picture::VectorPicture &picture)
{
    const QSizeF twips = picture.naturalSizeTwips();
    return QSize(qRound(twips.width() / 15), qRound(twips.height() / 15));
}

// True when the colours are within `tolerance` in every channel.
inline bool near(QRgb a, QRgb b, int tolerance = 40)
{
    return lumora::testing::coloursNear(a, b, tolerance);
}

// Pixels of `image` inside `area` that are near `color`.
inline int countNear(const QImage &image, QRgb color, QRect area = {}, int tolerance = 40)
{
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += near(image.pixel(x, y), color, tolerance);
    return n;
}

// The bounding box of pixels near `color`.
inline QRect boundsOf(const QImage &image, QRgb color, int tolerance = 40)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixel(x, y), color, tolerance))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace wmftest
