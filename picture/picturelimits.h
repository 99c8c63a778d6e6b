#pragma once

#include <QtGlobal>

namespace lumora::picture {

// A picture may have as many pixels as its format allows and the memory budget holds, as long
// as its data can describe them: each reader checks, before it allocates anything, that the
// file carries at least the least data its coding needs for that many pixels (a bit a block
// for Huffman-coded JPEG, every row of an uncompressed BMP, ...). Where a coding can leave any
// number of pixels to no data at all (a GIF screen larger than its frame; a run-length BMP's
// skips and early end; arithmetic coding of flat blocks), the pixels beyond what its data can
// describe may be at most this many: 2^28 (16384 x 16384), so that a few bytes cannot declare
// gigabytes of empty picture.
inline constexpr qint64 kMaxUndescribedPixels = qint64(1) << 28;

// The most scans a JPEG may have. Encoders write 1 (baseline) to about 10 (progressive; tuned
// progressive files a few dozen); each scan walks the whole picture again, so a file with
// thousands of them would take seconds for what a few hundred bytes declare.
inline constexpr int kMaxJpegScans = 256;

// Throws the run-time error for bytes that are not a whole, sane picture of their format.
[[noreturn]] void refusePicture();

} // namespace lumora::picture
