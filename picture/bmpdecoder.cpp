#include "picture/bmpdecoder.h"

#include "picture/bmprle.h"
#include "picture/colourprofile.h"
#include "picture/imagememory.h"
#include "picture/jpegdecoder.h"
#include "picture/jpegscan.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <cmath>
#include <vector>

namespace lumora::picture {

namespace {

int imageRow(const BmpHeader &header, int fileRow)
{
    return header.topDown ? fileRow : header.height - 1 - fileRow;
}

QRgb *rowOf(QImage &image, int y)
{
    return reinterpret_cast<QRgb *>(image.scanLine(y));
}

// Where each row of an uncompressed picture starts in the file, after checking that all of
// them are there (the last row may lack its padding).
class RowTable final {
public:
    RowTable(QByteArrayView bytes, const BmpHeader &header)
    {
        const qint64 rowBits = qint64(header.width) * header.bitCount;
        m_stride = header.stride;
        // Divided, not multiplied: a header may declare rows whose bytes overflow any type.
        const qint64 room = std::min<qint64>(header.pixelEnd, bytes.size()) - header.pixelOffset;
        const qint64 lastRow = (rowBits + 7) / 8;
        if (room < lastRow || header.height - 1 > (room - lastRow) / m_stride)
            refusePicture(); // the bytes end inside the pixels
        m_first = reinterpret_cast<const uchar *>(bytes.data()) + header.pixelOffset;
    }
    const uchar *row(int fileRow) const { return m_first + m_stride * fileRow; }

private:
    const uchar *m_first = nullptr;
    qint64 m_stride = 0;
};

// Scales an n-bit channel value to 8 bits with rounding, through a table.
class ChannelScale final {
public:
    explicit ChannelScale(const BmpChannel &channel) : m_channel(channel)
    {
        if (channel.bits == 0)
            return;
        m_drop = std::max(0, channel.bits - 16);
        const int bits = channel.bits - m_drop;
        const quint32 most = (1u << bits) - 1;
        m_table.resize(size_t(most) + 1);
        for (quint32 v = 0; v <= most; ++v)
            m_table[v] = uchar((v * 255 + most / 2) / most);
    }
    bool present() const { return m_channel.bits > 0; }
    uchar operator()(quint32 pixel) const
    {
        if (m_channel.bits == 0)
            return 0;
        return m_table[((pixel & m_channel.mask) >> m_channel.shift) >> m_drop];
    }

private:
    BmpChannel m_channel;
    int m_drop = 0;
    std::vector<uchar> m_table;
};

// Tells, once every pixel is written as straight ARGB, what the alpha channel turned out to
// be, and finishes the image accordingly.
class AlphaTally final {
public:
    void add(quint32 alpha)
    {
        m_any |= alpha;
        m_all &= alpha;
    }
    void finish(QImage &image) const
    {
        if (m_any == 0) { // written by a tool that leaves the channel empty: opaque
            for (int y = 0; y < image.height(); ++y) {
                QRgb *row = rowOf(image, y);
                for (int x = 0; x < image.width(); ++x)
                    row[x] |= 0xFF000000u;
            }
        }
        if (m_any == 0 || m_all == 0xFF) {
            image.reinterpretAsFormat(QImage::Format_RGB32);
            return;
        }
        for (int y = 0; y < image.height(); ++y) {
            QRgb *row = rowOf(image, y);
            for (int x = 0; x < image.width(); ++x)
                row[x] = qPremultiply(row[x]);
        }
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    }

private:
    quint32 m_any = 0;
    quint32 m_all = 0xFF;
};

QImage decodeIndexed(QByteArrayView bytes, const BmpHeader &header, RowProgress &progress)
{
    const RowTable rows(bytes, header);
    QImage image = allocateBitmap(header, QImage::Format_RGB32);
    const int bits = header.bitCount;
    const int perByte = 8 / bits;
    const uchar mask = uchar((1 << bits) - 1);
    progress.begin(image);
    for (int y = 0; y < header.height; ++y) {
        const uchar *src = rows.row(imageRow(header, y));
        QRgb *dst = rowOf(image, y);
        if (bits == 8) {
            for (int x = 0; x < header.width; ++x)
                dst[x] = header.palette[src[x]];
        } else {
            for (int x = 0; x < header.width; ++x) {
                const int shift = 8 - bits * (x % perByte + 1);
                dst[x] = header.palette[(src[x / perByte] >> shift) & mask];
            }
        }
        progress.rowDone(y);
    }
    return image;
}

QImage decodeRgb24(QByteArrayView bytes, const BmpHeader &header, RowProgress &progress)
{
    const RowTable rows(bytes, header);
    QImage image = allocateBitmap(header, QImage::Format_RGB32);
    const int width = header.width;
    progress.begin(image);
    for (int y = 0; y < header.height; ++y) {
        const uchar *src = rows.row(imageRow(header, y));
        QRgb *dst = rowOf(image, y);
        // Four bytes at a time where a fourth byte is there to read.
        for (int x = 0; x + 1 < width; ++x)
            dst[x] = 0xFF000000u | qFromLittleEndian<quint32>(src + 3 * x);
        const uchar *last = src + 3 * (width - 1);
        dst[width - 1] = qRgb(last[2], last[1], last[0]);
        progress.rowDone(y);
    }
    return image;
}

QImage decodeOpaque32(QByteArrayView bytes, const BmpHeader &header, RowProgress &progress)
{
    const RowTable rows(bytes, header);
    QImage image = allocateBitmap(header, QImage::Format_RGB32);
    progress.begin(image);
    for (int y = 0; y < header.height; ++y) {
        const uchar *src = rows.row(imageRow(header, y));
        QRgb *dst = rowOf(image, y);
        for (int x = 0; x < header.width; ++x)
            dst[x] = 0xFF000000u | qFromLittleEndian<quint32>(src + 4 * x);
        progress.rowDone(y);
    }
    return image;
}

QImage decodeMasked(QByteArrayView bytes, const BmpHeader &header, RowProgress &progress)
{
    const RowTable rows(bytes, header);
    const ChannelScale red(header.channels[0]);
    const ChannelScale green(header.channels[1]);
    const ChannelScale blue(header.channels[2]);
    const ChannelScale alpha(header.channels[3]);
    QImage image =
        allocateBitmap(header, alpha.present() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    // 16-bit pixels go through one table of all 65536 colours.
    std::vector<QRgb> colours;
    if (header.bitCount == 16) {
        colours.resize(65536);
        for (quint32 v = 0; v < 65536; ++v)
            colours[v] = qRgba(red(v), green(v), blue(v), alpha.present() ? alpha(v) : 255);
    }
    AlphaTally tally;
    progress.begin(image);
    for (int y = 0; y < header.height; ++y) {
        const uchar *src = rows.row(imageRow(header, y));
        QRgb *dst = rowOf(image, y);
        for (int x = 0; x < header.width; ++x) {
            QRgb colour;
            if (header.bitCount == 16) {
                colour = colours[qFromLittleEndian<quint16>(src + 2 * x)];
            } else {
                const quint32 v = qFromLittleEndian<quint32>(src + 4 * x);
                colour = qRgba(red(v), green(v), blue(v), alpha.present() ? alpha(v) : 255);
            }
            tally.add(qAlpha(colour));
            dst[x] = colour;
        }
        progress.rowDone(y);
    }
    if (alpha.present())
        tally.finish(image);
    return image;
}

// 64-bit pixels: blue, green, red and alpha as signed 2.13 fixed point, colours in linear
// light. kOne is 1.0 in that notation.
constexpr int kOne = 1 << 13;

QImage decodeRgba64(QByteArrayView bytes, const BmpHeader &header, RowProgress &progress)
{
    const RowTable rows(bytes, header);
    std::vector<uchar> encode(kOne + 1);
    for (int v = 0; v <= kOne; ++v) {
        const double linear = double(v) / kOne;
        const double srgb =
            linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
        encode[size_t(v)] = uchar(std::lround(srgb * 255));
    }
    const auto clamp = [](qint16 v) { return std::clamp<int>(v, 0, kOne); };
    QImage image = allocateBitmap(header, QImage::Format_ARGB32);
    AlphaTally tally;
    progress.begin(image);
    for (int y = 0; y < header.height; ++y) {
        const uchar *src = rows.row(imageRow(header, y));
        QRgb *dst = rowOf(image, y);
        for (int x = 0; x < header.width; ++x) {
            const uchar *p = src + 8 * x;
            const int b = clamp(qFromLittleEndian<qint16>(p));
            const int g = clamp(qFromLittleEndian<qint16>(p + 2));
            const int red = clamp(qFromLittleEndian<qint16>(p + 4));
            const int a = (clamp(qFromLittleEndian<qint16>(p + 6)) * 255 + kOne / 2) / kOne;
            tally.add(quint32(a));
            dst[x] = qRgba(encode[size_t(red)], encode[size_t(g)], encode[size_t(b)], a);
        }
        progress.rowDone(y);
    }
    tally.finish(image);
    return image;
}

// A JPEG or PNG inside: the JPEG reader's own, or Qt's for PNG, within the header's limit.
QImage decodeEmbedded(QByteArrayView bytes, const BmpHeader &header)
{
    if (header.pixelOffset >= header.pixelEnd)
        refusePicture();
    const QByteArrayView inside =
        bytes.sliced(header.pixelOffset, header.pixelEnd - header.pixelOffset);
    if (header.coding == BmpCoding::Jpeg) {
        const JpegLayout layout = readJpegLayout(inside);
        if (qint64(layout.width) * layout.height > header.maxPixels)
            refusePicture();
        return decodeJpeg(inside);
    }
    QByteArray data = QByteArray::fromRawData(inside.data(), inside.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > header.maxPixels)
        refusePicture();
    const QImage image = reader.read();
    if (image.isNull())
        refusePicture();
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QImage decodePixels(QByteArrayView bytes, const BmpHeader &header, RowProgress &progress)
{
    switch (header.coding) {
    case BmpCoding::Rle4:
    case BmpCoding::Rle8:
    case BmpCoding::Rle24:
        return decodeBmpRuns(bytes, header);
    case BmpCoding::Jpeg:
    case BmpCoding::Png:
        return decodeEmbedded(bytes, header);
    default:
        break;
    }
    switch (header.bitCount) {
    case 24:
        return decodeRgb24(bytes, header, progress);
    case 64:
        return decodeRgba64(bytes, header, progress);
    case 16:
    case 32: {
        const BmpChannel &r = header.channels[0];
        const bool plain = header.bitCount == 32 && r.mask == 0xFF0000 &&
                           header.channels[1].mask == 0xFF00 && header.channels[2].mask == 0xFF &&
                           header.channels[3].bits == 0;
        return plain ? decodeOpaque32(bytes, header, progress)
                     : decodeMasked(bytes, header, progress);
    }
    default:
        return decodeIndexed(bytes, header, progress);
    }
}

} // namespace

QImage decodeBmp(QByteArrayView bytes, RowArrival *arrival, const std::atomic<bool> *cancelled)
{
    return decodeBmpPixels(bytes, readBmpHeader(bytes), arrival, cancelled);
}

QImage decodeBmpPixels(QByteArrayView bytes, const BmpHeader &header, RowArrival *arrival,
                       const std::atomic<bool> *cancelled)
{
    // Whoever shows the rows stops reading them before a failed decode frees them.
    ArrivalGuard shown(arrival);
    RowProgress progress(arrival, cancelled);
    QImage image = decodePixels(bytes, header, progress);
    progress.flush();
    if (header.coding != BmpCoding::Jpeg && header.coding != BmpCoding::Png)
        convertToSrgb(image, header.iccProfile);
    if (arrival)
        arrival->settle(image);
    shown.release();
    return image;
}

} // namespace lumora::picture
