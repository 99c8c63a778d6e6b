#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace lumora::picture {

// What a walk over a JPEG file's markers tells before any pixel is decoded.
struct JpegLayout {
    int width = 0;
    int height = 0;
    int components = 0;
    int scans = 0;
    bool progressive = false;
    bool arithmetic = false;
    bool adobe = false;  // an Adobe APP14 segment: CMYK values are stored inverted
    QByteArrayView exif; // the TIFF data of the first Exif APP1 segment, if any
    QByteArray icc;      // the ICC profile assembled from its APP2 chunks, if whole
};

// Walks a JPEG file from SOI to EOI, through every segment and every scan's entropy-coded
// data, without decoding. Refuses (RuntimeError, errors::InvalidPicture) a file that ends
// before EOI, a malformed segment, a coding process libjpeg cannot decode, more than
// kMaxJpegScans scans, and a Huffman scan whose data is too short to hold one code per block
// (a file that is truncated or declares far more picture than it carries), and an
// arithmetic-coded file, progressive or larger than kMaxUndescribedPixels, with less than a
// byte of coded data per 64 blocks (see kArithmeticBlocksPerByte). Bytes after EOI are ignored
// (cameras append previews and videos there).
JpegLayout readJpegLayout(QByteArrayView bytes);

// The EXIF orientation (1 to 8) found in `tiff`, the TIFF data of an Exif segment; 1 when
// there is none or it is out of range.
int exifOrientation(QByteArrayView tiff);

} // namespace lumora::picture
