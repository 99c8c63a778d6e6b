#pragma once

#include "picture/loadpicture.h"

#include <QImage>

namespace lumora::picture {

// Decodes a JPEG, GIF or BMP picture whose format was already sniffed. Throws RuntimeError:
// errors::InvalidPicture for anything that is not a whole, sane picture of that format
// (truncated, damaged, unsupported variant, or more pixels than its data can describe), and
// errors::OutOfMemory when the memory budget or the machine cannot hold the picture.
//
// The result is Format_RGB32 for opaque pictures and Format_ARGB32_Premultiplied when the picture
// has transparent parts (a GIF's transparent colour, a BMP's alpha channel, pixels an RLE BMP
// leaves undefined): the picture box paints it over its background colour. JPEG colours are
// converted to sRGB when the file carries an ICC profile, and the EXIF orientation is applied.
QImage decodeRaster(QByteArrayView bytes, PictureFormat format, const LoadOptions &options = {});

} // namespace lumora::picture
