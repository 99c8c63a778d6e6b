#pragma once

#include <QIODevice>
#include <QImage>

namespace lumora::picture {

// The bytes of the BMP file writeBmp makes of a picture of `size`: a 54-byte header and rows
// of three bytes a pixel, each padded to four bytes.
qint64 bmpFileBytes(QSize size);

// The most a BMP file may hold: its sizes and offsets are 32-bit.
inline constexpr qint64 kMaxBmpFileBytes = (qint64(1) << 32) - 1;

// Writes `image` to `device` as a 24-bit BMP file, bottom row first as BMP stores them, a block
// of rows at a time, so that no second copy of the picture is made. The bytes are those Qt's
// own BMP writer gives for 32-bit pictures (alpha dropped, a premultiplied picture taken back
// to straight colours first); pictures of other formats are written as 24-bit too, converted a
// block at a time. Returns false when the device takes fewer bytes than it was given, or when
// the file would pass kMaxBmpFileBytes (then nothing is written).
bool writeBmp(QIODevice &device, const QImage &image);

} // namespace lumora::picture
