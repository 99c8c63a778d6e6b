#pragma once

#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cstdlib>

namespace lumora::testing {

// True when two colours are within `tolerance` of each other in every channel.
inline bool coloursNear(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// How far a decoded picture is from a reference: the largest difference of any channel of any
// pixel, both taken premultiplied (so that all fully transparent pixels are equal), and where
// it is.
struct PictureDifference {
    int largest = 0;
    double mean = 0; // over all channels of all pixels
    QPoint where;

    QString describe() const
    {
        return QStringLiteral("largest channel difference %1 at (%2, %3), mean %4")
            .arg(largest)
            .arg(where.x())
            .arg(where.y())
            .arg(mean, 0, 'f', 2);
    }
};

inline PictureDifference comparePictures(const QImage &actual, const QImage &expected)
{
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    PictureDifference result;
    qint64 total = 0;
    for (int y = 0; y < std::min(a.height(), e.height()); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pe = reinterpret_cast<const QRgb *>(e.constScanLine(y));
        for (int x = 0; x < std::min(a.width(), e.width()); ++x) {
            const int dr = std::abs(qRed(pa[x]) - qRed(pe[x]));
            const int dg = std::abs(qGreen(pa[x]) - qGreen(pe[x]));
            const int db = std::abs(qBlue(pa[x]) - qBlue(pe[x]));
            const int da = std::abs(qAlpha(pa[x]) - qAlpha(pe[x]));
            total += dr + dg + db + da;
            const int d = std::max({dr, dg, db, da});
            if (d > result.largest) {
                result.largest = d;
                result.where = QPoint(x, y);
            }
        }
    }
    const qint64 channels =
        4 * qint64(std::min(a.width(), e.width())) * std::min(a.height(), e.height());
    result.mean = channels > 0 ? double(total) / double(channels) : 0;
    return result;
}

// `image` flattened onto white, 32 bits a pixel, for comparing pictures whose transparent parts
// two decoders may fill differently.
inline QImage onWhite(const QImage &image)
{
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

// How far two renderings of one drawing are apart, measured so that anti-aliasing and small
// shifts do not count but a blank, black, misplaced or wrongly coloured drawing does: both are
// averaged down to a grid of `cells` by `cells` and compared cell by cell; and the boxes that
// hold their ink (pixels well away from white) are compared, as fractions of the picture.
struct CoarseDifference {
    double meanCell = 0;     // mean channel difference of the averaged cells, 0..255
    double worstCell = 0;    // the largest one
    double inkBoxShift = 0;  // the largest move of an edge of the ink box, as a fraction
    double inkCoverage[2]{}; // the share of pixels that are ink, actual and expected

    QString describe() const
    {
        return QStringLiteral("cells differ by %1 on average, %2 at most; ink box moved by %3; "
                              "ink covers %4 here, %5 in the reference")
            .arg(meanCell, 0, 'f', 1)
            .arg(worstCell, 0, 'f', 1)
            .arg(inkBoxShift, 0, 'f', 3)
            .arg(inkCoverage[0], 0, 'f', 3)
            .arg(inkCoverage[1], 0, 'f', 3);
    }
};

inline QRectF inkBox(const QImage &flat, double &coverage)
{
    QRect box;
    qint64 ink = 0;
    for (int y = 0; y < flat.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(flat.constScanLine(y));
        for (int x = 0; x < flat.width(); ++x) {
            if (std::min({qRed(line[x]), qGreen(line[x]), qBlue(line[x])}) < 160) {
                box |= QRect(x, y, 1, 1);
                ++ink;
            }
        }
    }
    coverage = double(ink) / std::max<qint64>(1, qint64(flat.width()) * flat.height());
    return QRectF(box.x() / double(flat.width()), box.y() / double(flat.height()),
                  box.width() / double(flat.width()), box.height() / double(flat.height()));
}

inline CoarseDifference compareCoarsely(const QImage &actual, const QImage &expected, int cells)
{
    const QImage a = onWhite(actual.scaled(expected.size()));
    const QImage e = onWhite(expected);
    CoarseDifference result;
    const QImage ga = a.scaled(cells, cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage ge = e.scaled(cells, cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < cells; ++y) {
        for (int x = 0; x < cells; ++x) {
            const QRgb pa = ga.pixel(x, y);
            const QRgb pe = ge.pixel(x, y);
            const double d = (std::abs(qRed(pa) - qRed(pe)) + std::abs(qGreen(pa) - qGreen(pe)) +
                              std::abs(qBlue(pa) - qBlue(pe))) /
                             3.0;
            result.meanCell += d / (cells * cells);
            result.worstCell = std::max(result.worstCell, d);
        }
    }
    const QRectF ba = inkBox(a, result.inkCoverage[0]);
    const QRectF be = inkBox(e, result.inkCoverage[1]);
    result.inkBoxShift =
        std::max({std::abs(ba.left() - be.left()), std::abs(ba.top() - be.top()),
                  std::abs(ba.right() - be.right()), std::abs(ba.bottom() - be.bottom())});
    return result;
}

// The largest difference of any colour channel of any pixel, alpha ignored; -1 when the sizes
// differ.
inline int maxChannelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    return comparePictures(a.convertToFormat(QImage::Format_RGB32),
                           b.convertToFormat(QImage::Format_RGB32))
        .largest;
}

// True when every pixel of `out` is exactly a pixel of `src` lying under (or touching) its
// centre when `src` is stretched over `out`: an enlargement with no blending at all.
inline bool isCrispEnlargement(const QImage &src, const QImage &out)
{
    const QImage s = src.convertToFormat(QImage::Format_RGB32);
    const QImage o = out.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < o.height(); ++y)
        for (int x = 0; x < o.width(); ++x) {
            const double sx = (x + 0.5) * s.width() / o.width();
            const double sy = (y + 0.5) * s.height() / o.height();
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    const QPoint p(int(sx) + dx, int(sy) + dy);
                    found = s.rect().contains(p) && s.pixel(p) == o.pixel(x, y) &&
                            std::abs(p.x() + 0.5 - sx) <= 0.5 + 1e-9 &&
                            std::abs(p.y() + 0.5 - sy) <= 0.5 + 1e-9;
                }
            if (!found)
                return false;
        }
    return true;
}

} // namespace lumora::testing
