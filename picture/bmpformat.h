#pragma once

#include "picture/imagememory.h"
#include "picture/picturelimits.h"

#include <QByteArrayView>
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QtGlobal>
#include <array>
#include <limits>
#include <vector>

namespace lumora::picture {

enum class BmpCoding { Rgb, Rle8, Rle4, Rle24, BitFields, Jpeg, Png };

// One colour channel of a BITFIELDS (or default 16/32-bit) pixel.
struct BmpChannel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;
};

// What the headers of a BMP file or of a bitmap packed in memory (header, colour table, bits)
// say, checked against the bytes there are. Offsets count from the start of those bytes.
struct BmpHeader {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitCount = 0;
    BmpCoding coding = BmpCoding::Rgb;
    qint64 pixelOffset = 0;
    qint64 pixelEnd = 0;                // where the pixel data ends
    qint64 stride = 0;                  // bytes per row of uncompressed pixels
    std::array<BmpChannel, 4> channels; // red, green, blue, alpha (alpha bits 0: none)
    std::array<QRgb, 256> palette{};    // opaque colours; indices past the table: black
    int tableEntries = 0;               // colours the table held (at most 2^bitCount)
    QByteArrayView iccProfile;          // a V5 header's embedded profile
    // As many as the header can declare, unless the bitmap sits in another picture with limits
    // of its own.
    qint64 maxPixels = std::numeric_limits<qint64>::max();
    // Run-length data that ends before its end-of-picture mark keeps the rows it drew
    // instead of being refused.
    bool keepsCutRuns = false;
    // False: the pixels are not taken from the memory budget here, as their owner counts
    // them together with the rest of what it keeps.
    bool budgeted = true;
};

// Reads the headers of a BMP file: the OS/2 1.x header (12 bytes), the OS/2 2.x header (16 to
// 64 bytes), and the Windows headers of 40 (with BITFIELDS or ALPHABITFIELDS masks after it),
// 52, 56, 108 (V4) and 124 (V5) bytes. Refuses (RuntimeError, errors::InvalidPicture) another
// header size, a missing or nonsensical dimension, a bit count that does not fit the coding,
// non-contiguous bit masks, Huffman and PNG coding, and more than `maxPixels`. The file
// size in the file header is ignored: writers get it wrong. Run-length pictures may be stored
// top-down (a negative height) although the format says otherwise: tools write them.
BmpHeader readBmpHeader(QByteArrayView bytes);

// How the colour table of a packed bitmap is read.
struct PackedDibColours {
    // Not null: the table holds 16-bit indices into this logical palette (DIB_PAL_COLORS);
    // indices past its end are black.
    const std::vector<QRgb> *logicalPalette = nullptr;
};

// Reads the header of a bitmap packed in memory: header, masks, colour table and bits with no
// file header before them. The header sizes of a BMP file are read, and any other from 40 to
// 1024 bytes as a Windows header; a PNG inside is accepted too. The colour table has as many
// entries as the header declares (for more than 8 bits as well, skipped), 2^bitCount when it
// declares none; when the bytes are too short for that and the bits together, what lies
// between header and bits is the table, which may be empty. Refuses what readBmpHeader
// refuses and more than `maxPixels`.
BmpHeader readPackedDibHeader(QByteArrayView bytes, const PackedDibColours &colours,
                              qint64 maxPixels);

// A zeroed image of the header's size, taken from the memory budget when the header says so.
QImage allocateBitmap(const BmpHeader &header, QImage::Format format,
                      Filling filling = Filling::Whole);

// Refuses run-length data (RLE4, RLE8, RLE24) of `dataBytes` that leaves more than
// kMaxUndescribedPixels of the header's picture to no data: a run spells at most 255 pixels
// in two bytes, and skips and an early end any number.
void checkRunLengthData(const BmpHeader &header, qint64 dataBytes);

// The header of uncompressed rows that come without one (a device bitmap's): `bitCount` bits
// a pixel with the default masks and no colour table, stored top-down `stride` bytes apart
// from `pixelOffset` on. Refuses a size over `maxPixels` or a bit count the format lacks.
BmpHeader headerlessBitmap(QSize size, int bitCount, qint64 stride, qint64 pixelOffset,
                           qint64 maxPixels);

} // namespace lumora::picture
