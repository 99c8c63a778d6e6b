#pragma once

#include "picture/imagememory.h"
#include "picture/picture.h"
#include "picture/rowarrival.h"

#include <QByteArrayView>
#include <QImage>
#include <atomic>

namespace lumora::picture {

// Where a JPEG's bytes live, which tells whether the pages already read may be let go.
enum class JpegBytes {
    Kept,       // ordinary memory: it is only read
    MappedFile, // a read-only mapping of the file: the kernel reads pages again when touched
};

// Decodes a whole JPEG file with libjpeg-turbo straight into the final Format_RGB32 image
// (greyscale, YCbCr, RGB, CMYK and YCCK alike), the EXIF orientation applied while the rows
// arrive and an ICC profile converted to sRGB on the way.
//
// A truncated or damaged file is refused (RuntimeError, errors::InvalidPicture), never shown
// with its missing part padded: libjpeg's warnings that mean lost picture data (premature
// end of data or of the file, bad Huffman or arithmetic codes, lost restart markers, broken
// progression) end the decode. Warnings that lose nothing (stray bytes between segments, an
// unknown JFIF revision) are ignored.
//
// With a strip the result is a canvas (allocateCanvas) with the picture at its top left. A
// decode whose `cancelled` turns true stops within a few rows, refused as damaged.
//
// Over a mapped file (`bytesKind`), the file's pages are let go as the decode goes past them.
// With an `arrival`, the rows are announced there as they are finished (those of a picture
// turned a quarter, or going through an RGB profile on a second thread, only at the end).
QImage decodeJpeg(QByteArrayView bytes, const DrawingStrip &strip = {},
                  const std::atomic<bool> *cancelled = nullptr,
                  JpegBytes bytesKind = JpegBytes::Kept, RowArrival *arrival = nullptr);

// Decodes only the middle `centre` pixels of a JPEG much larger than that, when its rows can
// be decoded there alone: the rows above are skipped, the columns beside are never converted,
// and the reading stops after the last row wanted. The result is a partial picture
// (Picture::part) of the whole one's size, with exactly the pixels a whole decode gives there.
// A file that ends early is still refused (its markers are all walked first), and so is damage
// above the last row wanted; damage below it goes unseen.
//
// Decoded whole, as decodeJpeg does, is any picture whose centre holds more than half of it, or
// that is turned by its EXIF orientation, has several scans (progressive ones among them), is
// CMYK, or carries a colour profile.
Picture decodeJpegCentre(QByteArrayView bytes, QSize centre,
                         const std::atomic<bool> *cancelled = nullptr,
                         JpegBytes bytesKind = JpegBytes::Kept);

} // namespace lumora::picture
