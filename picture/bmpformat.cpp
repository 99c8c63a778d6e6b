#include "picture/bmpformat.h"

#include "picture/imagememory.h"

#include <QtEndian>
#include <bit>

namespace lumora::picture {

namespace {

constexpr qsizetype kFileHeaderBytes = 14;
constexpr qsizetype kLargestPackedHeader = 1024;
constexpr qint64 kMostTableEntries = 65536;

enum class HeaderKind { Os2v1, Os2v2, Windows };

class HeaderBytes final {
public:
    HeaderBytes(QByteArrayView bytes, qsizetype base, qsizetype size)
        : m_data(reinterpret_cast<const uchar *>(bytes.data()) + base), m_size(size)
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

// The header fields the colour table and the pixels' extent depend on.
struct InfoFields {
    HeaderKind kind = HeaderKind::Windows;
    quint32 compression = 0;
    quint32 declaredColours = 0;
    quint32 imageBytes = 0;
    qsizetype tableStart = 0;
};

HeaderKind kindOf(quint32 headerSize, bool packed)
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
        // Bitmaps in memory come with headers of any size: what follows the first 40 bytes
        // is unknown and skipped.
        if (packed && headerSize >= 40 && headerSize <= kLargestPackedHeader)
            return HeaderKind::Windows;
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

void setDefaultChannels(BmpHeader &result)
{
    if (result.bitCount == 16)
        result.channels = {channelOf(0x7C00), channelOf(0x03E0), channelOf(0x001F), {}};
    else if (result.bitCount == 32)
        result.channels = {channelOf(0xFF0000), channelOf(0xFF00), channelOf(0xFF), {}};
}

void checkSize(const BmpHeader &result)
{
    if (result.width <= 0 || result.height <= 0)
        refusePicture();
    if (qint64(result.width) * result.height > result.maxPixels)
        refusePicture();
}

bool codingFits(BmpCoding coding, int bitCount)
{
    switch (coding) {
    case BmpCoding::Rgb:
        return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
               bitCount == 24 || bitCount == 32 || bitCount == 64;
    case BmpCoding::Rle8:
        return bitCount == 8;
    case BmpCoding::Rle4:
        return bitCount == 4;
    case BmpCoding::Rle24:
        return bitCount == 24;
    case BmpCoding::BitFields:
        return bitCount == 16 || bitCount == 32;
    case BmpCoding::Jpeg:
    case BmpCoding::Png:
        return true;
    }
    return false;
}

BmpCoding codingOf(quint32 compression, HeaderKind kind, bool packed)
{
    switch (compression) {
    case 0:
        return BmpCoding::Rgb;
    case 1:
        return BmpCoding::Rle8;
    case 2:
        return BmpCoding::Rle4;
    case 3: // OS/2 2.x: 1-D Huffman, which nothing writes any more
        if (kind == HeaderKind::Os2v2)
            refusePicture();
        return BmpCoding::BitFields;
    case 4: // OS/2 2.x: 24-bit RLE; Windows: a whole JPEG inside
        return kind == HeaderKind::Os2v2 ? BmpCoding::Rle24 : BmpCoding::Jpeg;
    case 5: // a PNG inside: meant for printers, so a file never holds one, a bitmap may
        if (!packed || kind != HeaderKind::Windows)
            refusePicture();
        return BmpCoding::Png;
    case 6: // ALPHABITFIELDS
        if (kind != HeaderKind::Windows)
            refusePicture();
        return BmpCoding::BitFields;
    default:
        refusePicture();
    }
}

// The masks of a BITFIELDS picture: inside the header from 52 bytes on, else right after
// it. Returns where the colour table starts.
qsizetype readMasks(QByteArrayView bytes, const HeaderBytes &header, qsizetype afterHeader,
                    quint32 compression, BmpHeader &result)
{
    if (result.coding != BmpCoding::BitFields) {
        setDefaultChannels(result);
        return afterHeader;
    }
    const quint32 size = header.u32(0);
    if (size >= 52) {
        const quint32 alpha = size >= 56 ? header.u32(52) : 0;
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

void readProfile(QByteArrayView bytes, const HeaderBytes &header, qsizetype base, BmpHeader &result)
{
    constexpr quint32 kEmbedded = 0x4D424544; // 'MBED'
    if (header.u32(0) < 124 || header.u32(56) != kEmbedded)
        return;
    const qint64 offset = base + qint64(header.u32(112));
    const qint64 size = header.u32(116);
    if (size > 0 && offset + size <= bytes.size())
        result.iccProfile = bytes.sliced(offset, size);
}

void readDimensions(const HeaderBytes &header, HeaderKind kind, BmpHeader &result)
{
    qint64 height;
    if (kind == HeaderKind::Os2v1) {
        result.width = header.u16(4);
        height = header.u16(6);
        result.bitCount = header.u16(10);
    } else {
        result.width = qint32(header.u32(4));
        height = qint32(header.u32(8));
        result.bitCount = header.u16(14);
    }
    result.topDown = height < 0;
    result.height = int(std::min<qint64>(std::abs(height), std::numeric_limits<int>::max()));
    checkSize(result);
    result.stride = (qint64(result.width) * result.bitCount + 31) / 32 * 4;
}

// Reads the header that starts at `base`, its masks and its profile.
InfoFields readInfoHeader(QByteArrayView bytes, qsizetype base, bool packed, BmpHeader &result)
{
    if (bytes.size() < base + 4)
        refusePicture();
    const quint32 headerSize =
        qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(bytes.data()) + base);
    InfoFields fields;
    fields.kind = kindOf(headerSize, packed);
    if (bytes.size() < base + qsizetype(headerSize))
        refusePicture();
    const HeaderBytes header(bytes, base, headerSize);
    readDimensions(header, fields.kind, result);
    if (fields.kind != HeaderKind::Os2v1) {
        fields.compression = header.u32(16);
        fields.imageBytes = header.u32(20);
        fields.declaredColours = header.u32(32);
    }
    result.coding = codingOf(fields.compression, fields.kind, packed);
    if (!codingFits(result.coding, result.bitCount))
        refusePicture();
    if (result.topDown && (result.coding == BmpCoding::Jpeg || result.coding == BmpCoding::Png))
        refusePicture(); // a picture inside keeps its own row order
    fields.tableStart =
        readMasks(bytes, header, base + qsizetype(headerSize), fields.compression, result);
    readProfile(bytes, header, base, result);
    result.pixelEnd = bytes.size();
    return fields;
}

bool hasTable(const BmpHeader &header)
{
    return header.bitCount <= 8 && header.coding != BmpCoding::Jpeg &&
           header.coding != BmpCoding::Png;
}

// Reads `count` entries of the colour table at `start`: blue, green, red (and a reserved
// byte), or 16-bit indices into a logical palette. Colours past the table are black.
void readColourTable(QByteArrayView bytes, qsizetype start, qint64 count, int entryBytes,
                     const PackedDibColours &colours, BmpHeader &result)
{
    result.palette.fill(0xFF000000u);
    count = std::min<qint64>(count, qint64(1) << result.bitCount);
    const auto *p = reinterpret_cast<const uchar *>(bytes.data()) + start;
    const std::vector<QRgb> *logical = colours.logicalPalette;
    for (qint64 i = 0; i < count; ++i) {
        const uchar *entry = p + i * entryBytes;
        if (logical) {
            const quint16 index = qFromLittleEndian<quint16>(entry);
            result.palette[size_t(i)] = index < logical->size() ? (*logical)[index] : 0xFF000000u;
        } else {
            result.palette[size_t(i)] = qRgb(entry[2], entry[1], entry[0]);
        }
    }
    result.tableEntries = int(std::max<qint64>(count, 0));
}

// The colour table of a file: it cannot run into the pixels or past the file; OS/2 1.x files
// with a short table are known only by where their pixels start. A table beside direct
// colours only advises 8-bit displays.
void readFilePalette(QByteArrayView bytes, const InfoFields &fields, BmpHeader &result)
{
    result.palette.fill(0xFF000000u);
    if (!hasTable(result))
        return;
    const qint64 most = qint64(1) << result.bitCount;
    const quint32 declared = fields.declaredColours;
    qint64 count = declared == 0 ? most : std::min<qint64>(declared, most);
    const qsizetype start = fields.tableStart;
    const int entryBytes = fields.kind == HeaderKind::Os2v1 ? 3 : 4;
    // Pixels said to start inside the headers are a writer's slip (the offset leaves out the
    // colour table); other readers take the pixels to follow the whole table, and so do we.
    if (entryBytes == 4 && result.pixelOffset <= start)
        result.pixelOffset = start + count * entryBytes;
    const qint64 end = result.pixelOffset >= start ? result.pixelOffset : bytes.size();
    count = std::min<qint64>(count, (std::min<qint64>(end, bytes.size()) - start) / entryBytes);
    readColourTable(bytes, start, count, entryBytes, {}, result);
}

// The bytes the pixels of a packed bitmap take, when known.
qint64 packedPixelBytes(const BmpHeader &header, const InfoFields &fields)
{
    if (header.coding == BmpCoding::Rgb || header.coding == BmpCoding::BitFields)
        return header.stride * header.height;
    return fields.imageBytes;
}

qint64 packedTableEntries(QByteArrayView bytes, const InfoFields &fields, int entryBytes,
                          const BmpHeader &header)
{
    const bool indexed = hasTable(header) && header.bitCount > 0;
    qint64 entries = fields.declaredColours;
    if (!indexed || entries != 0)
        return entries;
    entries = qint64(1) << header.bitCount;
    // Some writers leave the count out and store fewer colours, or none.
    const qint64 pixels = packedPixelBytes(header, fields);
    const qint64 room = bytes.size() - fields.tableStart - pixels;
    if (pixels > 0 && room >= 0)
        entries = std::min(entries, room / entryBytes);
    return entries;
}

} // namespace

BmpHeader readBmpHeader(QByteArrayView bytes)
{
    if (bytes.size() < kFileHeaderBytes + 12)
        refusePicture();
    const auto *file = reinterpret_cast<const uchar *>(bytes.data());
    if (file[0] != 'B' || file[1] != 'M')
        refusePicture();
    BmpHeader result;
    result.pixelOffset = qFromLittleEndian<quint32>(file + 10);
    const InfoFields fields = readInfoHeader(bytes, kFileHeaderBytes, false, result);
    if (result.coding == BmpCoding::Png)
        refusePicture();
    readFilePalette(bytes, fields, result);
    if (result.pixelOffset >= bytes.size())
        refusePicture();
    return result;
}

BmpHeader readPackedDibHeader(QByteArrayView bytes, const PackedDibColours &colours,
                              qint64 maxPixels)
{
    BmpHeader result;
    result.maxPixels = maxPixels;
    const InfoFields fields = readInfoHeader(bytes, 0, true, result);
    const int entryBytes = colours.logicalPalette ? 2 : fields.kind == HeaderKind::Os2v1 ? 3 : 4;
    const qint64 entries = packedTableEntries(bytes, fields, entryBytes, result);
    if (entries > kMostTableEntries || fields.tableStart + entries * entryBytes > bytes.size())
        refusePicture();
    result.palette.fill(0xFF000000u);
    if (hasTable(result))
        readColourTable(bytes, fields.tableStart, entries, entryBytes, colours, result);
    result.pixelOffset = fields.tableStart + entries * entryBytes;
    const bool compressed =
        result.coding != BmpCoding::Rgb && result.coding != BmpCoding::BitFields;
    if (compressed && fields.imageBytes > 0)
        result.pixelEnd = std::min<qint64>(bytes.size(), result.pixelOffset + fields.imageBytes);
    return result;
}

QImage allocateBitmap(const BmpHeader &header, QImage::Format format, Filling filling)
{
    const QSize size(header.width, header.height);
    if (header.budgeted)
        return allocateZeroedImage(size, format, filling);
    return allocateZeroedImage(size, format, MemoryBudget::Reservation(), filling);
}

void checkRunLengthData(const BmpHeader &header, qint64 dataBytes)
{
    constexpr qint64 kPixelsPerByte = 128; // 255 pixels in two bytes, rounded up
    const qint64 pixels = qint64(header.width) * header.height;
    if (pixels - std::max<qint64>(dataBytes, 0) * kPixelsPerByte > kMaxUndescribedPixels)
        refusePicture();
}

BmpHeader headerlessBitmap(QSize size, int bitCount, qint64 stride, qint64 pixelOffset,
                           qint64 maxPixels)
{
    BmpHeader result;
    result.width = size.width();
    result.height = size.height();
    result.topDown = true;
    result.bitCount = bitCount;
    result.maxPixels = maxPixels;
    checkSize(result);
    if (!codingFits(BmpCoding::Rgb, bitCount))
        refusePicture();
    result.stride = stride;
    result.pixelOffset = pixelOffset;
    result.pixelEnd = std::numeric_limits<qint64>::max(); // the bytes themselves end it
    result.palette.fill(0xFF000000u);
    setDefaultChannels(result);
    return result;
}

} // namespace lumora::picture
