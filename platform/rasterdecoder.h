#pragma once

#include "platform/loadpicture.h"

#include <QImage>

namespace lumora::platform {

// Decodes a JPEG, GIF or BMP picture whose format was already sniffed. Throws RuntimeError
// (errors::InvalidPicture) for anything that is not a whole, sane picture of that format.
QImage decodeRaster(QByteArrayView bytes, PictureFormat format);

} // namespace lumora::platform
