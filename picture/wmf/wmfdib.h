#pragma once

// Bitmaps embedded in metafile records: device-independent bitmaps ([MS-WMF] 2.2.2.9) and
// the older device bitmaps (Bitmap16, 2.2.2.1).

#include "picture/wmf/wmfformat.h"

#include <QImage>
#include <vector>

namespace lumora::picture::wmf {

// Decodes a DIB through the BMP reader: its header, colour table and bits, all inside
// `bytes`. `palette` is the logical palette selected (empty: none, and the default palette
// stands for it). With `paletteIndices` (DIB_PAL_COLORS) the colour table holds 16-bit indices
// into that palette; a bitmap of 2 to 8 bits with no colour table at all takes its colours
// from it index for index, and a monochrome one lacking colours is black on white. Alpha is
// ignored, as a blit copies colours only. Returns a null image for a damaged or unsupported
// bitmap, one whose header claims more bytes than `bytes` holds, or one with more than
// `maxPixels` pixels. Pixels that an RLE bitmap skips stay transparent, and so do those of
// rows its data, cut short, never reaches.
QImage decodeDib(const ByteReader &bytes, bool paletteIndices, const std::vector<QRgb> &palette,
                 qint64 maxPixels);

// Decodes a Bitmap16 of 1, 4, 8, 16, 24 or 32 bits (type, width, height, bytes per row,
// planes, bits per pixel, bits at `bitsOffset`). Monochrome bitmaps come back as Format_Mono
// with black for 0 and white for 1, to be recoloured with the text and background colours
// when drawn; `monochrome` tells. Those of 4 and 8 bits index the recording display's
// palette: the standard 16 colours, or the 20 static colours around `palette`, the logical
// palette selected.
QImage decodeBitmap16(const ByteReader &bytes, qsizetype bitsOffset, qint64 maxPixels,
                      const std::vector<QRgb> &palette, bool *monochrome);

} // namespace lumora::picture::wmf
