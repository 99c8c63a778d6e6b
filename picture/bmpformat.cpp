#include "picture/bmpformat.h"

#include "picture/picturelimits.h"

#include <QtEndian>
#include <bit>

namespace lumora::picture {

namespace {

constexpr qsizetype kFileHeaderBytes = 14;

enum class HeaderKind { Os2v1, Os2v2, Windows };

class HeaderBytes final {
public:
    HeaderBytes(QByteArrayView bytes, qsizetype size)
        : m_data(reinterpret_cast<const uchar *>(bytes.data()) + kFileHeaderBytes), m_size(size)
    {
    }
    // Fields past the end of a short OS/2 2.x header read as zero, as that format says.
    quint32 u32(qsizetype at) const
    {
        return at + 4 <= m_size ? qFromLittleEndian<quint32>(m_data + at) : 0;
    }
    quint16 u16(qsizetype at) const
    {
        return at + 2 <= m_size ? qFromLittleEndian<quint16>(m_data + at) : 0;
    }

private:
    const uchar *m_data;
    qsizetype m_size;
};

HeaderKind kindOf(quint32 headerSize)
{
    switch (headerSize) {
    case 12:
        return HeaderKind::Os2v1;
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
        return HeaderKind::Windows;
    default:
        if (headerSize >= 16 && headerSize <= 64 && headerSize % 4 == 0)
            return HeaderKind::Os2v2;
        refusePicture();
    }
}

BmpChannel channelOf(quint32 mask)
{
    BmpChannel channel;
    channel.mask = mask;
    if (mask == 0)
        return channel;
    channel.shift = std::countr_zero(mask);
    const quint32 bits = mask >> channel.shift;
    if ((bits & (bits + 1)) != 0)
        refusePicture(); // the bits of a channel must be contiguous
    channel.bits = std::popcount(bits);
    return channel;
}

BmpCoding codingOf(quint32 compression, HeaderKind kind, int bitCount)
{
    BmpCoding coding;
    switch (compression) {
    case 0:
        coding = BmpCoding::Rgb;
        break;
    case 1:
        coding = BmpCoding::Rle8;
        break;
    case 2:
        coding = BmpCoding::Rle4;
        break;
    case 3: // OS/2 2.x: 1-D Huffman, which nothing writes any more
        if (kind == HeaderKind::Os2v2)
            refusePicture();
        coding = BmpCoding::BitFields;
        break;
    case 4: // OS/2 2.x: 24-bit RLE; Windows: a whole JPEG inside
        coding = kind == HeaderKind::Os2v2 ? BmpCoding::Rle24 : BmpCoding::Jpeg;
        break;
    case 6: // ALPHABITFIELDS
        if (kind != HeaderKind::Windows)
            refusePicture();
        coding = BmpCoding::BitFields;
        break;
    default: // 5: a PNG inside, meant for printers only; anything else is unknown
        refusePicture();
    }
    bool fits = false;
    switch (coding) {
    case BmpCoding::Rgb:
        fits = bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
               bitCount == 24 || bitCount == 32 || bitCount == 64;
        break;
    case BmpCoding::Rle8:
        fits = bitCount == 8;
        break;
    case BmpCoding::Rle4:
        fits = bitCount == 4;
        break;
    case BmpCoding::Rle24:
        fits = bitCount == 24;
        break;
    case BmpCoding::BitFields:
        fits = bitCount == 16 || bitCount == 32;
        break;
    case BmpCoding::Jpeg:
        fits = true;
        break;
    }
    if (!fits)
        refusePicture();
    return coding;
}

// The masks of a BITFIELDS picture: inside the header from 52 bytes on, else right after
// it. Returns where the colour table starts.
qsizetype readMasks(QByteArrayView bytes, const HeaderBytes &header, quint32 headerSize,
                    quint32 compression, BmpHeader &result)
{
    const qsizetype afterHeader = kFileHeaderBytes + headerSize;
    const bool bitFields = result.coding == BmpCoding::BitFields;
    if (!bitFields) {
        if (result.bitCount == 16)
            result.channels = {channelOf(0x7C00), channelOf(0x03E0), channelOf(0x001F), {}};
        else if (result.bitCount == 32)
            result.channels = {channelOf(0xFF0000), channelOf(0xFF00), channelOf(0xFF), {}};
        return afterHeader;
    }
    if (headerSize >= 52) {
        const quint32 alpha = headerSize >= 56 ? header.u32(52) : 0;
        result.channels = {channelOf(header.u32(40)), channelOf(header.u32(44)),
                           channelOf(header.u32(48)), channelOf(alpha)};
        return afterHeader;
    }
    const int count = compression == 6 ? 4 : 3;
    if (bytes.size() < afterHeader + 4 * count)
        refusePicture();
    const auto *p = reinterpret_cast<const uchar *>(bytes.data()) + afterHeader;
    for (int i = 0; i < count; ++i)
        result.channels[size_t(i)] = channelOf(qFromLittleEndian<quint32>(p + 4 * i));
    return afterHeader + 4 * count;
}

void readPalette(QByteArrayView bytes, qsizetype start, quint32 declared, int entryBytes,
                 BmpHeader &result)
{
    result.palette.fill(0xFF000000u);
    if (result.bitCount > 8 || result.coding == BmpCoding::Jpeg)
        return; // a table beside direct colours only advises 8-bit displays
    const qint64 most = qint64(1) << result.bitCount;
    qint64 count = declared == 0 ? most : std::min<qint64>(declared, most);
    // Pixels said to start inside the headers are a writer's slip (the offset leaves out the
    // colour table); other readers take the pixels to follow the whole table, and so do we.
    if (entryBytes == 4 && result.pixelOffset <= start)
        result.pixelOffset = start + count * entryBytes;
    // The table cannot run into the pixels or past the file; OS/2 1.x files with a short
    // table are known only by where their pixels start.
    const qint64 end = result.pixelOffset >= start ? result.pixelOffset : bytes.size();
    count = std::min<qint64>(count, (std::min<qint64>(end, bytes.size()) - start) / entryBytes);
    const auto *p = reinterpret_cast<const uchar *>(bytes.data()) + start;
    for (qint64 i = 0; i < count; ++i) {
        const uchar *entry = p + i * entryBytes;
        result.palette[size_t(i)] = qRgb(entry[2], entry[1], entry[0]);
    }
}

void readProfile(QByteArrayView bytes, const HeaderBytes &header, quint32 headerSize,
                 BmpHeader &result)
{
    constexpr quint32 kEmbedded = 0x4D424544; // 'MBED'
    if (headerSize < 124 || header.u32(56) != kEmbedded)
        return;
    const qint64 offset = kFileHeaderBytes + qint64(header.u32(112));
    const qint64 size = header.u32(116);
    if (size > 0 && offset + size <= bytes.size())
        result.iccProfile = bytes.sliced(offset, size);
}

} // namespace

BmpHeader readBmpHeader(QByteArrayView bytes)
{
    if (bytes.size() < kFileHeaderBytes + 12)
        refusePicture();
    const auto *file = reinterpret_cast<const uchar *>(bytes.data());
    if (file[0] != 'B' || file[1] != 'M')
        refusePicture();
    const quint32 headerSize = qFromLittleEndian<quint32>(file + kFileHeaderBytes);
    const HeaderKind kind = kindOf(headerSize);
    if (bytes.size() < kFileHeaderBytes + qsizetype(headerSize))
        refusePicture();
    const HeaderBytes header(bytes, headerSize);

    BmpHeader result;
    result.pixelOffset = qFromLittleEndian<quint32>(file + 10);
    quint32 compression = 0;
    quint32 declaredColours = 0;
    qint64 height;
    if (kind == HeaderKind::Os2v1) {
        result.width = header.u16(4);
        height = header.u16(6);
        result.bitCount = header.u16(10);
    } else {
        result.width = qint32(header.u32(4));
        height = qint32(header.u32(8));
        result.bitCount = header.u16(14);
        compression = header.u32(16);
        declaredColours = header.u32(32);
    }
    result.topDown = height < 0;
    result.height = int(std::min<qint64>(std::abs(height), std::numeric_limits<int>::max()));
    if (result.width <= 0 || result.height <= 0)
        refusePicture();
    if (qint64(result.width) * result.height > kMaxPicturePixels)
        refusePicture();
    result.coding = codingOf(compression, kind, result.bitCount);
    const bool rle = result.coding == BmpCoding::Rle4 || result.coding == BmpCoding::Rle8 ||
                     result.coding == BmpCoding::Rle24;
    if (result.topDown && (rle || result.coding == BmpCoding::Jpeg))
        refusePicture(); // compressed pictures are bottom-up by definition
    const qsizetype paletteStart = readMasks(bytes, header, headerSize, compression, result);
    readPalette(bytes, paletteStart, declaredColours, kind == HeaderKind::Os2v1 ? 3 : 4, result);
    readProfile(bytes, header, headerSize, result);
    if (result.pixelOffset >= bytes.size())
        refusePicture();
    return result;
}

} // namespace lumora::picture
