#pragma once

#include "picture/bmpformat.h"
#include "picture/rowarrival.h"

#include <QByteArrayView>
#include <QImage>

namespace lumora::picture {

// Decodes a BMP: 1, 2, 4 and 8 bits with a colour table, 16 and 32 bits with default or
// BITFIELDS masks (alpha included), 24 bits, 64 bits (linear light, converted to sRGB), RLE4,
// RLE8 and OS/2 RLE24, bottom-up and top-down, and a JPEG inside a BMP. Pixels an RLE picture
// leaves undefined (skipped by a delta or an early end of line or of picture) are transparent;
// a 32-bit alpha channel that is zero everywhere means no alpha. An embedded V5 colour profile
// is converted to sRGB.
//
// Refuses (RuntimeError, errors::InvalidPicture) what readBmpHeader refuses, pixel data cut
// short, and RLE data that ends before its end-of-picture mark while rows are still missing.
// Runs past the end of a row are clipped, and nothing beyond the picture itself is allocated.
// With an `arrival`, uncompressed rows are announced top down as they are decoded, whichever
// way the file stores them; a read whose `cancelled` turns true is refused within a few rows.
QImage decodeBmp(QByteArrayView bytes, RowArrival *arrival = nullptr,
                 const std::atomic<bool> *cancelled = nullptr);

// Decodes the pixels `header` describes inside `bytes`: those of a file (readBmpHeader) or of
// a bitmap packed in memory (readPackedDibHeader), as decodeBmp does, and a PNG inside one.
QImage decodeBmpPixels(QByteArrayView bytes, const BmpHeader &header, RowArrival *arrival = nullptr,
                       const std::atomic<bool> *cancelled = nullptr);

} // namespace lumora::picture
