#pragma once

#include "picture/bmpformat.h"

#include <QImage>

namespace lumora::picture {

// Decodes the RLE4, RLE8 or OS/2 RLE24 pixels of a bitmap into a transparent canvas, rows
// from the bottom (from the top when the header says top-down). Pixels the data leaves
// undefined (skipped by a delta or an early end of line or of picture) stay transparent; a
// picture every pixel of which is written comes back opaque. Runs past the end of a row are
// clipped. Data that ends before its end-of-picture mark while rows are still missing is
// refused (RuntimeError, errors::InvalidPicture) unless the header keeps cut runs.
QImage decodeBmpRuns(QByteArrayView bytes, const BmpHeader &header);

} // namespace lumora::picture
