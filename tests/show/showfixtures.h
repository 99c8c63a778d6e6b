#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QtTest>

namespace lumora::testing {

// Makes a picture file of one colour with ImageMagick; the format follows the file name.
inline bool makePicture(const QString &path, int width, int height,
                        const QString &colour = QStringLiteral("red"))
{
    QProcess convert;
    convert.start(QStringLiteral("convert"),
                  {QStringLiteral("-size"), QStringLiteral("%1x%2").arg(width).arg(height),
                   QStringLiteral("xc:") + colour, path});
    return convert.waitForFinished(60000) && convert.exitStatus() == QProcess::NormalExit &&
           convert.exitCode() == 0;
}

inline bool makeFile(const QString &path, const QByteArray &bytes = "not a picture")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace lumora::testing
