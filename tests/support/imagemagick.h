#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace lumora::testing {

// Runs ImageMagick's convert with `arguments`; its standard output ("ok" when it writes
// nothing), or a null array on failure.
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

// A picture file of one colour (or any ImageMagick source, "plasma:red-blue"); the format
// follows the file name or ImageMagick's prefix ("BMP3:..."). `options` go before the file.
inline bool makePicture(const QString &path, int width, int height,
                        const QString &colour = QStringLiteral("red"),
                        const QStringList &options = {})
{
    const QString source =
        colour.contains(QLatin1Char(':')) ? colour : QStringLiteral("xc:") + colour;
    return !runConvert(QStringList{QStringLiteral("-size"),
                                   QStringLiteral("%1x%2").arg(width).arg(height), source} +
                       options + QStringList{path})
                .isNull();
}

// A picture file of random noise, so any blending shows as colours that exist nowhere in it.
inline bool makeNoisePicture(const QString &path, int width, int height)
{
    return makePicture(QStringLiteral("BMP3:") + path, width, height, QStringLiteral("gray"),
                       {QStringLiteral("-seed"), QStringLiteral("7"), QStringLiteral("+noise"),
                        QStringLiteral("Random"), QStringLiteral("-type"),
                        QStringLiteral("TrueColor")});
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

} // namespace lumora::testing
