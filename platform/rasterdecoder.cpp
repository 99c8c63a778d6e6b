#include "platform/rasterdecoder.h"

#include "platform/runtimeerror.h"

#include <QBuffer>
#include <QImageReader>

namespace lumora::platform {

namespace {

const char *qtFormatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp:
        return "bmp";
    case PictureFormat::Jpeg:
        return "jpeg";
    case PictureFormat::Gif:
        return "gif";
    default:
        return nullptr;
    }
}

} // namespace

QImage decodeRaster(QByteArrayView bytes, PictureFormat format)
{
    const char *name = qtFormatName(format);
    if (!name)
        throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, name);
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull())
        throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
    return image;
}

} // namespace lumora::platform
