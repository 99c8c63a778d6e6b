#pragma once

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace lumora::testing {

// Runs ImageMagick's convert with `arguments`; its standard output, or a null array on failure.
inline QByteArray runConvert(const QStringList &arguments)
{
    QProcess convert;
    convert.start(QStringLiteral("convert"), arguments);
    if (!convert.waitForFinished(60000) || convert.exitStatus() != QProcess::NormalExit ||
        convert.exitCode() != 0)
        return QByteArray();
    const QByteArray out = convert.readAllStandardOutput();
    return out.isEmpty() ? QByteArray("ok") : out;
}

// A picture file made by ImageMagick: random noise, so any blending shows as colours that
// exist nowhere in the source.
inline bool makeNoisePicture(const QString &path, int width, int height)
{
    return !runConvert({QStringLiteral("-size"), QStringLiteral("%1x%2").arg(width).arg(height),
                        QStringLiteral("xc:gray"), QStringLiteral("-seed"), QStringLiteral("7"),
                        QStringLiteral("+noise"), QStringLiteral("Random"), QStringLiteral("-type"),
                        QStringLiteral("TrueColor"), QStringLiteral("BMP3:") + path})
                .isNull();
}

// Decodes any picture file with ImageMagick (never with Qt), as RGB32.
inline QImage decodeWithImageMagick(const QString &path)
{
    const QByteArray ppm =
        runConvert({path, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("ppm:-")});
    QImage image;
    if (ppm.isNull() || !image.loadFromData(ppm, "PPM"))
        return QImage();
    return image.convertToFormat(QImage::Format_RGB32);
}

// The largest difference of any channel of any pixel; -1 when the sizes differ.
inline int maxChannelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            worst = std::max({worst, std::abs(qRed(p[col]) - qRed(q[col])),
                              std::abs(qGreen(p[col]) - qGreen(q[col])),
                              std::abs(qBlue(p[col]) - qBlue(q[col]))});
        }
    }
    return worst;
}

// A memory figure of this process from the kernel ("VmHWM:", "VmRSS:"), in bytes; -1 when
// the kernel does not say.
inline qint64 statusBytes(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const QByteArray &l) { return l.startsWith(field); });
    if (line == lines.end())
        return -1;
    return line->mid(field.size()).trimmed().split(' ').first().toLongLong() * 1024;
}

// Peak memory of this process so far, in bytes (the kernel's high-water mark).
inline qint64 peakResidentBytes()
{
    return statusBytes("VmHWM:");
}

// Memory of this process resident now, in bytes.
inline qint64 residentBytes()
{
    return statusBytes("VmRSS:");
}

} // namespace lumora::testing

namespace lumora::testing {

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
