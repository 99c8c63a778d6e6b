#include "picture/jpegscan.h"

#include "picture/picturelimits.h"

#include <QtEndian>
#include <array>
#include <cstring>
#include <vector>

namespace lumora::picture {

namespace {

struct Component {
    int id = 0;
    int h = 1;
    int v = 1;
};

struct Frame {
    bool seen = false;
    bool huffman = true;
    bool progressive = false;
    int width = 0;
    int height = 0;
    int count = 0;
    int hmax = 1;
    int vmax = 1;
    std::array<Component, 4> components;
};

struct IccChunk {
    int sequence;
    int count;
    QByteArrayView data;
};

qint64 ceilDiv(qint64 a, qint64 b)
{
    return (a + b - 1) / b;
}

// A progressive file keeps every coefficient of the picture in memory while it decodes: 128
// bytes a block, up to twice the picture's bitmap. Huffman scans cannot code a block in less
// than a bit, but arithmetic coding can code a flat one in almost nothing, so a progressive
// arithmetic-coded file, and any arithmetic-coded file of more than kMaxUndescribedPixels,
// must carry at least a byte of coded data per this many blocks. Photos carry several bytes a
// block; only a flat picture could go below.
constexpr qint64 kArithmeticBlocksPerByte = 64;

quint16 be16(const uchar *p)
{
    return qFromBigEndian<quint16>(p);
}

void readFrame(Frame &frame, quint8 marker, const uchar *p, qsizetype length, JpegLayout &layout)
{
    // Lossless and hierarchical processes, and the reserved codes, are not decoded here.
    const bool huffman = marker == 0xC0 || marker == 0xC1 || marker == 0xC2;
    const bool arithmetic = marker == 0xC9 || marker == 0xCA;
    if ((!huffman && !arithmetic) || frame.seen || length < 6)
        refusePicture();
    const int precision = p[0];
    frame.height = be16(p + 1);
    frame.width = be16(p + 3);
    frame.count = p[5];
    if (precision != 8 || frame.width == 0 || frame.height == 0)
        refusePicture();
    if (frame.count != 1 && frame.count != 3 && frame.count != 4)
        refusePicture();
    if (length < 6 + 3 * frame.count)
        refusePicture();
    for (int i = 0; i < frame.count; ++i) {
        Component &c = frame.components[size_t(i)];
        c.id = p[6 + 3 * i];
        c.h = p[7 + 3 * i] >> 4;
        c.v = p[7 + 3 * i] & 15;
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4)
            refusePicture();
        frame.hmax = std::max(frame.hmax, c.h);
        frame.vmax = std::max(frame.vmax, c.v);
    }
    frame.seen = true;
    frame.huffman = huffman;
    frame.progressive = marker == 0xC2 || marker == 0xCA;
    layout.width = frame.width;
    layout.height = frame.height;
    layout.components = frame.count;
    layout.progressive = frame.progressive;
    layout.arithmetic = arithmetic;
}

// How many 8 x 8 blocks one scan codes: a single component's blocks when it is alone, whole
// MCUs when components are interleaved.
qint64 blocksInScan(const Frame &frame, const std::array<int, 4> &members, int count)
{
    if (count == 1) {
        const Component &c = frame.components[size_t(members[0])];
        const qint64 w = ceilDiv(qint64(frame.width) * c.h, frame.hmax);
        const qint64 h = ceilDiv(qint64(frame.height) * c.v, frame.vmax);
        return ceilDiv(w, 8) * ceilDiv(h, 8);
    }
    const qint64 mcus =
        ceilDiv(frame.width, 8 * frame.hmax) * ceilDiv(frame.height, 8 * frame.vmax);
    qint64 perMcu = 0;
    for (int i = 0; i < count; ++i) {
        const Component &c = frame.components[size_t(members[size_t(i)])];
        perMcu += c.h * c.v;
    }
    return mcus * perMcu;
}

// The offset of the 0xFF that starts the marker ending the entropy-coded data at `pos`, or
// -1 when the file ends first. Stuffed zeros and restart markers belong to the data.
qsizetype endOfEntropyData(const uchar *data, qsizetype size, qsizetype pos)
{
    while (pos < size) {
        const void *found = std::memchr(data + pos, 0xFF, size_t(size - pos));
        if (!found)
            return -1;
        const qsizetype at = static_cast<const uchar *>(found) - data;
        qsizetype next = at + 1;
        while (next < size && data[next] == 0xFF)
            ++next;
        if (next >= size)
            return -1;
        const uchar code = data[next];
        if (code == 0x00 || (code >= 0xD0 && code <= 0xD7)) {
            pos = next + 1;
            continue;
        }
        return next - 1;
    }
    return -1;
}

// Reads a scan header and checks that its `dataBytes` of entropy-coded data can be whole.
void checkScan(const Frame &frame, const uchar *p, qsizetype length, qsizetype dataBytes)
{
    if (!frame.seen || length < 1)
        refusePicture();
    const int count = p[0];
    if (count < 1 || count > frame.count || length < 4 + 2 * count)
        refusePicture();
    std::array<int, 4> members{};
    for (int i = 0; i < count; ++i) {
        const int id = p[1 + 2 * i];
        int index = -1;
        for (int c = 0; c < frame.count; ++c) {
            if (frame.components[size_t(c)].id == id)
                index = c;
        }
        if (index < 0)
            refusePicture();
        members[size_t(i)] = index;
    }
    const int spectralStart = p[1 + 2 * count];
    if (!frame.huffman || spectralStart != 0)
        return;
    // Every block of a sequential scan needs a DC code and an AC code (at least an end of
    // block), each at least one bit; every block of a progressive DC scan needs one bit.
    // Arithmetic coding has no such floor, and progressive AC scans can skip runs of blocks.
    const int bitsPerBlock = frame.progressive ? 1 : 2;
    const qint64 minimumBits = blocksInScan(frame, members, count) * bitsPerBlock;
    if (dataBytes * 8 < minimumBits)
        refusePicture();
}

void keepApplicationData(quint8 marker, const uchar *p, qsizetype length, JpegLayout &layout,
                         std::vector<IccChunk> &icc)
{
    static constexpr char exifTag[] = "Exif\0";     // with the terminator: 6 bytes
    static constexpr char iccTag[] = "ICC_PROFILE"; // with the terminator: 12 bytes
    if (marker == 0xE1 && layout.exif.isEmpty() && length >= 6 && std::memcmp(p, exifTag, 6) == 0) {
        layout.exif = QByteArrayView(reinterpret_cast<const char *>(p) + 6, length - 6);
    } else if (marker == 0xEE && length >= 12 && std::memcmp(p, "Adobe", 5) == 0) {
        layout.adobe = true; // as libjpeg tells it
    } else if (marker == 0xE2 && length >= 14 && std::memcmp(p, iccTag, 12) == 0) {
        icc.push_back(
            {p[12], p[13], QByteArrayView(reinterpret_cast<const char *>(p) + 14, length - 14)});
    }
}

// Joins the chunks of an ICC profile in their order; a missing, repeated or inconsistently
// counted chunk leaves no profile (the picture is then shown as sRGB).
QByteArray assembleIcc(const std::vector<IccChunk> &chunks)
{
    if (chunks.empty())
        return {};
    const int count = chunks.front().count;
    if (count < 1 || size_t(count) != chunks.size())
        return {};
    QByteArray profile;
    for (int sequence = 1; sequence <= count; ++sequence) {
        int found = 0;
        for (const IccChunk &chunk : chunks) {
            if (chunk.count != count)
                return {};
            if (chunk.sequence == sequence) {
                profile.append(chunk.data);
                ++found;
            }
        }
        if (found != 1)
            return {};
    }
    return profile;
}

qint64 blocksInFrame(const Frame &frame)
{
    qint64 blocks = 0;
    for (int c = 0; c < frame.count; ++c)
        blocks += blocksInScan(frame, {c, 0, 0, 0}, 1);
    return blocks;
}

} // namespace

JpegLayout readJpegLayout(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        refusePicture();
    JpegLayout layout;
    Frame frame;
    std::vector<IccChunk> icc;
    qsizetype pos = 2;
    qint64 codedBytes = 0;
    for (;;) {
        // Like libjpeg, skip stray bytes and fill bytes before a marker.
        while (pos < size && data[pos] != 0xFF)
            ++pos;
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            refusePicture(); // the file ends before EOI
        const quint8 marker = data[pos++];
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // a stuffed zero, TEM or a stray restart marker: no segment
        if (marker == 0xD8)
            refusePicture();
        if (marker == 0xD9)
            break;
        if (size - pos < 2)
            refusePicture();
        const qsizetype length = be16(data + pos);
        if (length < 2 || length > size - pos)
            refusePicture();
        const uchar *payload = data + pos + 2;
        const qsizetype payloadLength = length - 2;
        pos += length;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            readFrame(frame, marker, payload, payloadLength, layout);
        } else if (marker == 0xDA) {
            const qsizetype end = endOfEntropyData(data, size, pos);
            if (end < 0)
                refusePicture(); // the scan's data runs to the end of the file
            checkScan(frame, payload, payloadLength, end - pos);
            codedBytes += end - pos;
            if (++layout.scans > kMaxJpegScans)
                refusePicture();
            pos = end;
        } else if (marker == 0xE1 || marker == 0xE2 || marker == 0xEE) {
            keepApplicationData(marker, payload, payloadLength, layout, icc);
        }
    }
    if (!frame.seen || layout.scans == 0)
        refusePicture();
    const bool large = qint64(frame.width) * frame.height > kMaxUndescribedPixels;
    if (layout.arithmetic && (layout.progressive || large) &&
        codedBytes * kArithmeticBlocksPerByte < blocksInFrame(frame))
        refusePicture();
    layout.icc = assembleIcc(icc);
    return layout;
}

int exifOrientation(QByteArrayView tiff)
{
    const auto *p = reinterpret_cast<const uchar *>(tiff.data());
    const qsizetype size = tiff.size();
    if (size < 8)
        return 1;
    bool little;
    if (p[0] == 'I' && p[1] == 'I')
        little = true;
    else if (p[0] == 'M' && p[1] == 'M')
        little = false;
    else
        return 1;
    const auto u16 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint16>(p + at) : qFromBigEndian<quint16>(p + at);
    };
    const auto u32 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint32>(p + at) : qFromBigEndian<quint32>(p + at);
    };
    if (u16(2) != 42)
        return 1;
    const qint64 ifd = u32(4);
    if (ifd > size - 2)
        return 1;
    const int entries = u16(ifd);
    for (int i = 0; i < entries; ++i) {
        const qint64 entry = ifd + 2 + qint64(i) * 12;
        if (entry > size - 12)
            return 1;
        if (u16(entry) != 0x0112)
            continue;
        // Normally a short; some cameras write it as a (signed) long, which others read too.
        const quint16 type = u16(entry + 2);
        if (u32(entry + 4) < 1)
            return 1;
        qint64 value = 1;
        if (type == 3 || type == 8)
            value = u16(entry + 8);
        else if (type == 4 || type == 9)
            value = u32(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

} // namespace lumora::picture
