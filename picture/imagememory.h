#pragma once

#include "picture/memorybudget.h"

#include <QImage>

namespace lumora::picture {

// The bytes an image of `size` and `format` holds (0 for an empty size).
qint64 imageBytes(QSize size, QImage::Format format);

// How the pixels of a fresh image are going to be written, which tells the thread that makes
// its pages ready how far it may go.
enum class Filling {
    Whole,  // all of them at once, by a painter: every page is made ready
    Rows,   // from the top down by a decoder that reports them (noteRowsFilled): the pages are
            // made ready a few megabytes past the rows reported, so a file that declares more
            // picture than it holds commits no more than what it holds
    Sparse, // here and there, or from the bottom up: pages are cleared as they are touched
};

// An image of `size` and `format` whose pixels are all zero (transparent for alpha formats).
// Big images take fresh pages from the kernel, which a second thread makes ready from the
// top down while the caller fills them: pages never written cost nothing, and the kernel's
// clearing of the others runs on another core. The pixels are taken from the process's MemoryBudget
// before any memory is touched and given back when the last copy of the image goes. Throws
// RuntimeError (errors::OutOfMemory) when the budget refuses them or memory runs out.
QImage allocateZeroedImage(QSize size, QImage::Format format, Filling filling = Filling::Whole);
// The same with the bytes reserved already (a decoder that asks before it starts working).
QImage allocateZeroedImage(QSize size, QImage::Format format, MemoryBudget::Reservation reservation,
                           Filling filling = Filling::Whole);

// Tells the page helper of `image` that its rows above `rows` are written, so it may
// make the next pages ready; images without a helper ignore it. Any thread.
void noteRowsFilled(const QImage &image, int rows);

// Whether pages of big images let go are still being given back to the kernel, on threads of
// their own: the process's resident size is only steady once they are not.
bool releasingPages();

// The strip a picture box leaves right of and below a picture it shows at its top left corner
// (the picture box's own frame, drawn in the drawing's background colour).
struct DrawingStrip {
    int pixels = 0;
    QRgb colour = 0;
};

// A Format_RGB32 image of `picture` plus the strip each way, the strip already filled and the
// rest zero: a decoder writes the picture into its top left part and a picture box shows the
// whole as its drawing, so the pixels are held once. Throws as allocateZeroedImage.
QImage allocateCanvas(QSize picture, const DrawingStrip &strip,
                      MemoryBudget::Reservation reservation);

// Fills the columns of `canvas` right of `picture`'s width, and its rows from `picture`'s
// height down, with `colour`. A decoder that fills a canvas row by row calls it last: every
// page of the canvas is made ready by then, so the strip costs no page faults of its own.
void fillStrip(QImage &canvas, QSize picture, QRgb colour);

// A read-only image of the top left `size` pixels of `image` that keeps its pixels alive;
// writing to it writes to a copy.
QImage pictureView(const QImage &image, QSize size);

} // namespace lumora::picture
