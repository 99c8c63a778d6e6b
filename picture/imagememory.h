#pragma once

#include "picture/memorybudget.h"

#include <QImage>

namespace lumora::picture {

// The bytes an image of `size` and `format` holds (0 for an empty size).
qint64 imageBytes(QSize size, QImage::Format format);

// An image of `size` and `format` whose pixels are all zero (transparent for alpha formats).
// Big images take fresh pages from the kernel, marked for transparent huge pages: the pages
// need no clearing, pages never written cost nothing, and touching them for the first time
// costs far less than with 4 KiB pages. The pixels are taken from the process's MemoryBudget
// before any memory is touched and given back when the last copy of the image goes. Throws
// RuntimeError (errors::OutOfMemory) when the budget refuses them or memory runs out.
QImage allocateZeroedImage(QSize size, QImage::Format format);
// The same with the bytes reserved already (a decoder that asks before it starts working).
QImage allocateZeroedImage(QSize size, QImage::Format format,
                           MemoryBudget::Reservation reservation);

} // namespace lumora::picture
