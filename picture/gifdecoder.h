#pragma once

#include "picture/rowarrival.h"

#include <QByteArrayView>
#include <QImage>

namespace lumora::picture {

// Decodes the first frame of a GIF (87a or 89a, interlaced or not) onto its logical screen,
// grown to hold the frame when the frame reaches beyond it. Pixels of the transparent colour
// and the screen outside the frame are transparent (Format_ARGB32_Premultiplied); a frame
// that covers the screen with no transparent pixel gives Format_RGB32.
//
// Refuses (RuntimeError, errors::InvalidPicture) a file without a frame, a frame whose data
// ends before its last pixel or holds an invalid LZW code, a frame larger than its data could
// ever spell, and a screen that reaches more than kMaxUndescribedPixels beyond the frame; all
// of these but a bad code or early end before anything is allocated. Nothing is allocated
// beyond the picture itself and a few kilobytes.
// With an `arrival`, each row is announced as it is decoded (an interlaced frame's in the
// order of its passes); a read whose `cancelled` turns true is refused within a few rows.
QImage decodeGif(QByteArrayView bytes, RowArrival *arrival = nullptr,
                 const std::atomic<bool> *cancelled = nullptr);

} // namespace lumora::picture
