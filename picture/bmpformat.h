#pragma once

#include <QByteArrayView>
#include <QRgb>
#include <QtGlobal>
#include <array>

namespace lumora::picture {

enum class BmpCoding { Rgb, Rle8, Rle4, Rle24, BitFields, Jpeg };

// One colour channel of a BITFIELDS (or default 16/32-bit) pixel.
struct BmpChannel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;
};

// What the file and DIB headers of a BMP say, checked against the file's size.
struct BmpHeader {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitCount = 0;
    BmpCoding coding = BmpCoding::Rgb;
    qint64 pixelOffset = 0;
    std::array<BmpChannel, 4> channels; // red, green, blue, alpha (alpha bits 0: none)
    std::array<QRgb, 256> palette{};    // opaque colours; indices past the file's table: black
    QByteArrayView iccProfile;          // a V5 header's embedded profile
};

// Reads the headers of a BMP: the OS/2 1.x header (12 bytes), the OS/2 2.x header (16 to 64
// bytes), and the Windows headers of 40 (with BITFIELDS or ALPHABITFIELDS masks after it),
// 52, 56, 108 (V4) and 124 (V5) bytes. Refuses (RuntimeError, errors::InvalidPicture) another
// header size, a missing or nonsensical dimension, a bit count that does not fit the coding,
// non-contiguous bit masks, Huffman and PNG coding, top-down RLE, and more than
// kMaxPicturePixels. The file size in the file header is ignored: writers get it wrong.
BmpHeader readBmpHeader(QByteArrayView bytes);

} // namespace lumora::picture
