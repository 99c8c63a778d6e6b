#include "picture/wmf/wmfdib.h"

#include <QBuffer>
#include <QImageReader>
#include <bit>
#include <cstring>

namespace lumora::picture::wmf {

namespace {

constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiRle8 = 1;
constexpr quint32 kBiRle4 = 2;
constexpr quint32 kBiBitfields = 3;
constexpr quint32 kBiJpeg = 4;
constexpr quint32 kBiPng = 5;

struct DibHeader {
    qint64 width = 0;
    qint64 height = 0; // rows, always positive
    bool topDown = false;
    int bpp = 0;
    quint32 compression = kBiRgb;
    quint32 sizeImage = 0;
    quint32 colorsUsed = 0;
    qsizetype headerBytes = 0;
    bool core = false;
    quint32 masks[3] = {0, 0, 0};
    bool masksInHeader = false;
};

bool readHeader(const ByteReader &b, DibHeader &h)
{
    if (!b.has(0, 4))
        return false;
    const quint32 size = b.u32(0);
    if (size == 12) {
        if (!b.has(0, 12))
            return false;
        h.core = true;
        h.width = b.u16(4);
        h.height = b.u16(6);
        h.bpp = b.u16(10);
    } else if (size >= 40 && size <= 1024) {
        if (!b.has(0, size))
            return false;
        h.width = b.s32(4);
        const qint64 height = b.s32(8);
        h.topDown = height < 0;
        h.height = height < 0 ? -height : height;
        h.bpp = b.u16(14);
        h.compression = b.u32(16);
        h.sizeImage = b.u32(20);
        h.colorsUsed = b.u32(32);
        if (size >= 52) {
            h.masks[0] = b.u32(40);
            h.masks[1] = b.u32(44);
            h.masks[2] = b.u32(48);
            h.masksInHeader = true;
        }
    } else {
        return false;
    }
    h.headerBytes = size;
    return h.width > 0 && h.height > 0;
}

// A colour mask turned into a shift and a scale to 8 bits.
struct Channel {
    int shift = 0;
    int bits = 0;
    quint32 mask = 0;
    int value(quint32 px) const
    {
        if (bits == 0)
            return 0;
        const quint32 v = (px & mask) >> shift;
        return bits >= 8 ? int(v >> (bits - 8)) : int(v * 255 / ((1u << bits) - 1));
    }
};

Channel channel(quint32 mask)
{
    Channel c;
    c.mask = mask;
    if (mask == 0)
        return c;
    c.shift = std::countr_zero(mask);
    c.bits = std::popcount(mask >> c.shift); // contiguous masks; others decode as something
    return c;
}

QImage decodeEmbedded(const ByteReader &bits, qint64 maxPixels)
{
    QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char *>(bits.data()), bits.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > maxPixels)
        return {};
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Run-length encoded bits (BI_RLE8, BI_RLE4), bottom-up. Every write is inside the bitmap and
// every byte read is inside `bits`; pixels never written stay transparent.
QImage decodeRle(const ByteReader &bits, const DibHeader &h, const QList<QRgb> &colors)
{
    QImage image(int(h.width), int(h.height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    const bool four = h.compression == kBiRle4;
    const qsizetype n = bits.size();
    const uchar *d = bits.data();
    const qint64 w = h.width;
    qint64 x = 0, y = 0;
    qsizetype pos = 0;
    auto put = [&](int index) {
        if (x < w && y < h.height) {
            const QRgb c = index < colors.size() ? colors[index] : 0xff000000;
            reinterpret_cast<QRgb *>(image.scanLine(int(h.height - 1 - y)))[x] = c;
        }
        ++x;
    };
    while (pos + 2 <= n && y < h.height) {
        const int count = d[pos];
        const int value = d[pos + 1];
        pos += 2;
        if (count > 0) {
            const qint64 run = std::min<qint64>(count, std::max<qint64>(0, w - x));
            for (qint64 i = 0; i < run; ++i)
                put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            x += count - run;
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (pos + 2 > n)
                break;
            x += d[pos];
            y += d[pos + 1];
            pos += 2;
        } else { // absolute run of `value` pixels, padded to a word
            const qsizetype bytes = four ? (value + 1) / 2 : value;
            if (pos + bytes > n)
                break;
            for (int i = 0; i < value && x < w; ++i) {
                const int byte = d[pos + (four ? i / 2 : i)];
                put(four ? ((i & 1) ? byte & 0x0F : byte >> 4) : byte);
            }
            pos += (bytes + 1) & ~qsizetype(1);
        }
    }
    return image;
}

QImage decodeRgb(const ByteReader &bits, const DibHeader &h, const QList<QRgb> &colors)
{
    const qint64 stride = ((h.width * h.bpp + 31) / 32) * 4;
    if (stride * h.height > bits.size())
        return {}; // the header claims more rows than the record carries
    const int w = int(h.width), rows = int(h.height);
    auto srcRow = [&](int y) { return bits.data() + stride * (h.topDown ? y : rows - 1 - y); };

    if (h.bpp == 1) {
        QImage image(w, rows, QImage::Format_Mono);
        if (image.isNull())
            return {};
        QList<QRgb> table = colors;
        while (table.size() < 2)
            table.append(table.isEmpty() ? 0xff000000 : 0xffffffff);
        table.resize(2);
        image.setColorTable(table);
        const qsizetype copy = std::min<qsizetype>(stride, image.bytesPerLine());
        for (int y = 0; y < rows; ++y)
            std::memcpy(image.scanLine(y), srcRow(y), copy);
        return image.convertToFormat(QImage::Format_RGB32);
    }

    QImage image(w, rows, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    if (h.bpp == 4 || h.bpp == 8) {
        QRgb table[256];
        for (int i = 0; i < 256; ++i)
            table[i] = i < colors.size() ? colors[i] | 0xff000000 : 0xff000000;
        for (int y = 0; y < rows; ++y) {
            const uchar *s = srcRow(y);
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < w; ++x)
                out[x] = table[h.bpp == 8 ? s[x] : ((x & 1) ? s[x / 2] & 0x0F : s[x / 2] >> 4)];
        }
        return image;
    }
    if (h.bpp == 24 || (h.bpp == 32 && h.compression == kBiRgb)) {
        const int step = h.bpp / 8;
        for (int y = 0; y < rows; ++y) {
            const uchar *s = srcRow(y);
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < w; ++x, s += step)
                out[x] = qRgb(s[2], s[1], s[0]); // alpha is not part of a BI_RGB bitmap
        }
        return image;
    }
    // 16 bits (5-5-5 unless masks say otherwise) and 32 bits with masks.
    quint32 masks[3] = {h.masks[0], h.masks[1], h.masks[2]};
    if (h.compression != kBiBitfields) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    const Channel r = channel(masks[0]), g = channel(masks[1]), b = channel(masks[2]);
    for (int y = 0; y < rows; ++y) {
        const uchar *s = srcRow(y);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint32 px = h.bpp == 16 ? qFromLittleEndian<quint16>(s + 2 * x)
                                           : qFromLittleEndian<quint32>(s + 4 * x);
            out[x] = qRgb(r.value(px), g.value(px), b.value(px));
        }
    }
    return image;
}

// The sixteen colours of a 4-bit display, in the order GDI gives them.
constexpr QRgb kVgaColors[16] = {
    0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080, 0xff008080, 0xffc0c0c0,
    0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00, 0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};
// The twenty colours an 8-bit display always holds: ten at each end of its palette.
constexpr QRgb kStaticLow[10] = {0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080,
                                 0xff800080, 0xff008080, 0xffc0c0c0, 0xffc0dcc0, 0xffa6caf0};
constexpr QRgb kStaticHigh[10] = {0xfffffbf0, 0xffa0a0a4, 0xff808080, 0xffff0000, 0xff00ff00,
                                  0xffffff00, 0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};

// A device bitmap's pixels are indices into the recording display's palette: the standard
// colours of a 4-bit display; on an 8-bit one the static colours at both ends and, between
// them, the logical palette selected (black where there is none).
QList<QRgb> devicePalette(int bpp, const std::vector<QRgb> &selected)
{
    if (bpp == 4)
        return QList<QRgb>(std::begin(kVgaColors), std::end(kVgaColors));
    QList<QRgb> table(256, 0xff000000);
    for (int i = 10; i < 246 && size_t(i) < selected.size(); ++i)
        table[i] = selected[size_t(i)];
    std::copy(std::begin(kStaticLow), std::end(kStaticLow), table.begin());
    std::copy(std::begin(kStaticHigh), std::end(kStaticHigh), table.begin() + 246);
    return table;
}

QImage deviceIndexed(const uchar *bits, int width, int height, qint64 widthBytes, int bpp,
                     const std::vector<QRgb> &palette)
{
    QImage image(width, height, QImage::Format_Indexed8);
    if (image.isNull())
        return {};
    image.setColorTable(devicePalette(bpp, palette));
    for (int y = 0; y < height; ++y) {
        const uchar *row = bits + y * widthBytes;
        uchar *out = image.scanLine(y);
        if (bpp == 8) {
            std::memcpy(out, row, size_t(width));
            continue;
        }
        for (int x = 0; x < width; ++x) // the high nibble is the left pixel
            out[x] = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    }
    return image;
}

} // namespace

QImage decodeDib(const ByteReader &bytes, bool paletteIndices, const std::vector<QRgb> &palette,
                 qint64 maxPixels)
{
    DibHeader h;
    if (!readHeader(bytes, h))
        return {};
    if (h.width * h.height > maxPixels || h.width > 65535 || h.height > 65535)
        return {};
    const bool rle = h.compression == kBiRle8 || h.compression == kBiRle4;
    if (rle && (h.topDown || h.bpp != (h.compression == kBiRle8 ? 8 : 4)))
        return {};
    switch (h.bpp) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    case 0:
        if (h.compression == kBiJpeg || h.compression == kBiPng)
            break;
        return {};
    default:
        return {};
    }
    if (h.compression > kBiPng || (h.compression == kBiBitfields && h.bpp != 16 && h.bpp != 32))
        return {};

    qsizetype offset = h.headerBytes;
    if (h.compression == kBiBitfields && !h.masksInHeader) {
        if (!bytes.has(offset, 12))
            return {};
        h.masks[0] = bytes.u32(offset);
        h.masks[1] = bytes.u32(offset + 4);
        h.masks[2] = bytes.u32(offset + 8);
        offset += 12;
    }
    // The colour table: 2^bpp entries unless the header says how many are used.
    qint64 entries = h.colorsUsed;
    if (h.bpp <= 8 && h.bpp > 0 && (entries == 0 || h.core))
        entries = qint64(1) << h.bpp;
    const qint64 entryBytes = paletteIndices ? 2 : (h.core ? 3 : 4);
    const bool uncompressed = h.compression == kBiRgb || h.compression == kBiBitfields;
    const qint64 bitsBytes = ((h.width * h.bpp + 31) / 32) * 4 * h.height;
    if (uncompressed && h.bpp <= 8 && h.colorsUsed == 0 &&
        !bytes.has(offset, entries * entryBytes + bitsBytes)) {
        // Some writers leave the count out and store fewer colours: what lies between the
        // header and the bits is the table.
        const qint64 room = bytes.size() - offset - bitsBytes;
        if (room >= 0)
            entries = std::min(entries, room / entryBytes);
    }
    if (entries > 65536 || !bytes.has(offset, entries * entryBytes))
        return {};
    QList<QRgb> colors;
    if (h.bpp <= 8) {
        const qint64 used = std::min<qint64>(entries, 256);
        colors.reserve(used);
        for (qint64 i = 0; i < used; ++i) {
            const qsizetype at = offset + i * entryBytes;
            if (paletteIndices) {
                const quint16 index = bytes.u16(at);
                colors.append(index < palette.size() ? palette[index] : 0xff000000);
            } else {
                colors.append(qRgb(bytes.u8(at + 2), bytes.u8(at + 1), bytes.u8(at)));
            }
        }
    }
    offset += entries * entryBytes;
    ByteReader bits = bytes.from(offset);
    if (h.compression == kBiJpeg || h.compression == kBiPng)
        return decodeEmbedded(bits, maxPixels);
    if (rle) {
        if (h.sizeImage > 0 && h.sizeImage < quint64(bits.size()))
            bits = bits.sub(0, h.sizeImage);
        return decodeRle(bits, h, colors);
    }
    return decodeRgb(bits, h, colors);
}

QImage decodeBitmap16(const ByteReader &bytes, qsizetype bitsOffset, qint64 maxPixels,
                      const std::vector<QRgb> &palette, bool *monochrome)
{
    *monochrome = false;
    if (!bytes.has(0, 10))
        return {};
    const qint64 width = bytes.s16(2);
    const qint64 height = bytes.s16(4);
    qint64 widthBytes = bytes.s16(6);
    const int planes = bytes.u8(8);
    const int bpp = bytes.u8(9);
    if (width <= 0 || height <= 0 || width * height > maxPixels || planes != 1)
        return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};
    // Rows are padded to words; some writers give a longer row than the bits they store.
    const qint64 wordRow = ((width * bpp + 15) / 16) * 2;
    if (!bytes.has(bitsOffset, widthBytes * height) && bytes.has(bitsOffset, wordRow * height))
        widthBytes = wordRow;
    if (widthBytes < (width * bpp + 7) / 8 || !bytes.has(bitsOffset, widthBytes * height))
        return {};
    const uchar *bits = bytes.data() + bitsOffset;
    if (bpp == 1) {
        QImage image(int(width), int(height), QImage::Format_Mono);
        if (image.isNull())
            return {};
        image.setColorTable({0xff000000, 0xffffffff});
        const qsizetype copy = std::min<qsizetype>(widthBytes, image.bytesPerLine());
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), bits + y * widthBytes, copy);
        *monochrome = true;
        return image;
    }
    if (bpp == 4 || bpp == 8)
        return deviceIndexed(bits, int(width), int(height), widthBytes, bpp, palette);
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const int step = bpp / 8;
    for (int y = 0; y < height; ++y) {
        const uchar *s = bits + y * widthBytes;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, s += step) {
            if (bpp == 16) { // 5-5-5
                const quint16 px = qFromLittleEndian<quint16>(s);
                out[x] = qRgb(((px >> 10) & 31) * 255 / 31, ((px >> 5) & 31) * 255 / 31,
                              (px & 31) * 255 / 31);
            } else {
                out[x] = qRgb(s[2], s[1], s[0]);
            }
        }
    }
    return image;
}

} // namespace lumora::picture::wmf
