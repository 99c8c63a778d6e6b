#include "picture/bmpwriter.h"

#include <QtEndian>
#include <algorithm>
#include <vector>

namespace lumora::picture {

namespace {

constexpr int kHeaderBytes = 14 + 40;
// Rows go to the device about this many bytes at a time.
constexpr qint64 kBlockBytes = qint64(1) << 20;
// What a picture's pixels per metre are when it tells none: 72 dots an inch.
constexpr int kDefaultDotsPerMeter = 2834;

qint64 rowBytes(int width)
{
    return (qint64(width) * 24 + 31) / 32 * 4;
}

QByteArray header(const QImage &image)
{
    const quint32 pixelBytes = quint32(rowBytes(image.width()) * image.height());
    const auto dpm = [](int dots) { return quint32(dots ? dots : kDefaultDotsPerMeter); };
    QByteArray bytes(kHeaderBytes, '\0');
    uchar *p = reinterpret_cast<uchar *>(bytes.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(kHeaderBytes + pixelBytes, p + 2);
    qToLittleEndian<quint32>(kHeaderBytes, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(image.width(), p + 18);
    qToLittleEndian<qint32>(image.height(), p + 22);
    qToLittleEndian<quint16>(1, p + 26);  // planes
    qToLittleEndian<quint16>(24, p + 28); // bits a pixel; no compression
    qToLittleEndian<quint32>(pixelBytes, p + 34);
    qToLittleEndian<quint32>(dpm(image.dotsPerMeterX()), p + 38);
    qToLittleEndian<quint32>(dpm(image.dotsPerMeterY()), p + 42);
    return bytes; // no colour table: colours used and important are 0
}

// The rows [first, first + count) of `image` as straight 32-bit colours: the image's own
// pixels when they are that already, else a converted copy of those rows alone.
QImage straightRows(const QImage &image, int first, int count)
{
    const QImage::Format format = image.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32)
        return QImage(image.constScanLine(first), image.width(), count, image.bytesPerLine(),
                      format);
    return image.copy(0, first, image.width(), count)
        .convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// Writes all `bytes`, going on after a short write: the write after it then fails and tells
// why (a full disk).
bool writeAll(QIODevice &device, const char *data, qint64 bytes)
{
    while (bytes > 0) {
        const qint64 written = device.write(data, bytes);
        if (written <= 0)
            return false;
        data += written;
        bytes -= written;
    }
    return true;
}

void packRow(const QRgb *in, int width, uchar *out)
{
    for (int x = 0; x < width; ++x) {
        out[3 * x] = uchar(qBlue(in[x]));
        out[3 * x + 1] = uchar(qGreen(in[x]));
        out[3 * x + 2] = uchar(qRed(in[x]));
    }
}

} // namespace

qint64 bmpFileBytes(QSize size)
{
    return kHeaderBytes + rowBytes(size.width()) * size.height();
}

bool writeBmp(QIODevice &device, const QImage &image)
{
    if (image.isNull() || bmpFileBytes(image.size()) > kMaxBmpFileBytes)
        return false;
    const QByteArray head = header(image);
    if (!writeAll(device, head.constData(), head.size()))
        return false;
    const qint64 stride = rowBytes(image.width());
    const int blockRows = int(std::clamp<qint64>(kBlockBytes / stride, 1, image.height()));
    std::vector<uchar> block(size_t(stride * blockRows), 0); // padding stays zero
    for (int end = image.height(); end > 0;) {
        const int first = std::max(0, end - blockRows);
        const QImage rows = straightRows(image, first, end - first);
        uchar *out = block.data();
        for (int y = end - 1; y >= first; --y, out += stride)
            packRow(reinterpret_cast<const QRgb *>(rows.constScanLine(y - first)), image.width(),
                    out);
        const qint64 bytes = stride * (end - first);
        if (!writeAll(device, reinterpret_cast<const char *>(block.data()), bytes))
            return false;
        end = first;
    }
    return true;
}

} // namespace lumora::picture
