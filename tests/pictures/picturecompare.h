#pragma once

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdlib>

namespace lumora::testing {

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

} // namespace lumora::testing
