#pragma once

#include <QByteArrayView>
#include <QImage>

namespace lumora::picture {

// Decodes a whole JPEG file with libjpeg-turbo straight into the final Format_RGB32 image
// (greyscale, YCbCr, RGB, CMYK and YCCK alike), the EXIF orientation applied while the rows
// arrive and an ICC profile converted to sRGB in place.
//
// A truncated or damaged file is refused (RuntimeError, errors::InvalidPicture), never shown
// with its missing part padded: libjpeg's warnings that mean lost picture data (premature
// end of data or of the file, bad Huffman or arithmetic codes, lost restart markers, broken
// progression) end the decode. Warnings that lose nothing (stray bytes between segments, an
// unknown JFIF revision) are ignored.
QImage decodeJpeg(QByteArrayView bytes);

} // namespace lumora::picture
