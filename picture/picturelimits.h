#pragma once

#include <QtGlobal>

namespace lumora::picture {

// The most pixels a JPEG, GIF or BMP may declare: 2^28 (16384 x 16384), 1 GiB as 32-bit
// pixels. A 100-megapixel photo fits with room to spare, and so do the picture box's own
// drawing of it and a zoomed copy on a 24 GiB machine; anything above is refused as a
// decompression bomb before a single pixel is allocated. It matches the largest drawing a
// picture box keeps.
inline constexpr qint64 kMaxPicturePixels = qint64(1) << 28;

// The most scans a JPEG may have. Encoders write 1 (baseline) to about 10 (progressive; tuned
// progressive files a few dozen); each scan walks the whole picture again, so a file with
// thousands of them would take seconds for what a few hundred bytes declare.
inline constexpr int kMaxJpegScans = 256;

// Throws the run-time error for bytes that are not a whole, sane picture of their format.
[[noreturn]] void refusePicture();

} // namespace lumora::picture
