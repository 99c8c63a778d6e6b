#include "picture/loadpicture.h"

#include "base/runtimeerror.h"
#include "picture/bmpwriter.h"
#include "picture/jpegdecoder.h"
#include "picture/rasterdecoder.h"
#include "picture/wmf/wmfpicture.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <cerrno>
#include <unistd.h>

namespace lumora::picture {

namespace {

// No picture file we accept is larger than this: a BMP's sizes and offsets are 32-bit, so its
// largest file is 4 GiB, and no JPEG, GIF or WMF of a picture a machine can hold comes near.
// Anything bigger is refused before reading; only regular files are read at all, so a device
// or a pipe that never ends cannot keep the program reading.
constexpr qint64 kMaxPictureFileBytes = qint64(1) << 32;

bool isStandardWmfHeader(QByteArrayView head)
{
    if (head.size() < 18)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(head.data());
    const quint16 type = qFromLittleEndian<quint16>(p);
    const quint16 headerWords = qFromLittleEndian<quint16>(p + 2);
    const quint16 version = qFromLittleEndian<quint16>(p + 4);
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

// Why what was written is not all on the disk yet, or "" when it is. Done before commit():
// Qt's commit() takes no notice when its own last flush or the sync fails, and would then put
// a cut-off file in place of the old one.
QString reasonNotOnDisk(QSaveFile &file)
{
    if (!file.flush())
        return file.errorString();
    if (::fsync(file.handle()) != 0)
        return qt_error_string(errno);
    return QString();
}

// decodePicture for bytes whose kind tells the JPEG reader whether it may let go of them.
Picture decodeBytes(QByteArrayView bytes, const LoadOptions &options, JpegBytes kind)
{
    const PictureFormat format = sniffPictureFormat(bytes);
    switch (format) {
    case PictureFormat::Unknown:
        throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
    case PictureFormat::Wmf:
        return Picture(wmf::loadWmf(bytes));
    case PictureFormat::Jpeg:
        if (!options.centre.isEmpty() && options.strip.pixels == 0 && !options.arrival)
            return decodeJpegCentre(bytes, options.centre, options.cancelled, kind);
        if (options.strip.pixels > 0) {
            const QImage canvas =
                decodeJpeg(bytes, options.strip, options.cancelled, kind, options.arrival);
            const int strip = options.strip.pixels;
            return Picture::onCanvas(canvas, canvas.size() - QSize(strip, strip));
        }
        return Picture(decodeJpeg(bytes, {}, options.cancelled, kind, options.arrival));
    default:
        return Picture(decodeRaster(bytes, format, options));
    }
}

} // namespace

PictureFormat sniffPictureFormat(QByteArrayView head)
{
    const auto *p = reinterpret_cast<const uchar *>(head.data());
    const qsizetype n = head.size();
    if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF)
        return PictureFormat::Jpeg;
    if (n >= 6 &&
        (head.first(6) == QByteArrayView("GIF87a") || head.first(6) == QByteArrayView("GIF89a")))
        return PictureFormat::Gif;
    if (n >= 2 && p[0] == 'B' && p[1] == 'M')
        return PictureFormat::Bmp;
    if (n >= 4 && qFromLittleEndian<quint32>(p) == 0x9AC6CDD7u)
        return PictureFormat::Wmf;
    if (isStandardWmfHeader(head))
        return PictureFormat::Wmf;
    return PictureFormat::Unknown;
}

Picture decodePicture(QByteArrayView bytes, const LoadOptions &options)
{
    return decodeBytes(bytes, options, JpegBytes::Kept);
}

Picture LoadPicture(const QString &path, const LoadOptions &options)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        throw RuntimeError(errors::FileNotFound, QStringLiteral("File not found"));
    if (!info.isFile())
        throw RuntimeError(errors::PathNotFound, QStringLiteral("Path/File access error"));
    if (info.size() > kMaxPictureFileBytes)
        throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(errors::PermissionDenied, QStringLiteral("Permission denied"));
    // Mapping avoids a copy of the whole file; the decoders only read it.
    const qint64 size = file.size();
    if (size == 0)
        throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
    if (uchar *mapped = file.map(0, size)) {
        Picture picture = decodeBytes(QByteArrayView(reinterpret_cast<const char *>(mapped), size),
                                      options, JpegBytes::MappedFile);
        file.unmap(mapped);
        return picture;
    }
    const QByteArray bytes = file.readAll();
    return decodePicture(bytes, options);
}

void SavePicture(const QImage &image, const QString &path)
{
    if (image.isNull())
        throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
    if (bmpFileBytes(image.size()) > kMaxBmpFileBytes)
        throw RuntimeError(errors::InvalidPicture,
                           QStringLiteral("Cannot write %1: the picture is too large for a BMP "
                                          "file")
                               .arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw RuntimeError(errors::PathNotFound,
                           QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    if (!writeBmp(file, image)) {
        // Rows go to the file unbuffered, so the write that failed holds the system's reason
        // ("No space left on device"); the file that saw it never replaces the target.
        const QString reason = file.errorString();
        file.cancelWriting();
        throw RuntimeError(errors::DiskFull,
                           QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    const QString unsaved = reasonNotOnDisk(file);
    if (!unsaved.isEmpty()) {
        file.cancelWriting();
        throw RuntimeError(errors::DiskFull,
                           QStringLiteral("Cannot write %1: %2").arg(path, unsaved));
    }
    if (!file.commit())
        throw RuntimeError(errors::DiskFull,
                           QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace lumora::picture
