#pragma once

#include "picture/imagememory.h"
#include "picture/picture.h"
#include "picture/rowarrival.h"

#include <QByteArrayView>
#include <QString>
#include <atomic>

namespace lumora::picture {

enum class PictureFormat { Unknown, Bmp, Jpeg, Gif, Wmf };

// Tells the format from the file's first bytes, never from its name.
PictureFormat sniffPictureFormat(QByteArrayView head);

// How a picture is read for a picture box. A JPEG is decoded straight into a drawing with
// `strip` (when it has pixels), which the box can then show without a copy (Picture::canvas).
// A read whose `cancelled` turns true stops early and throws; nobody is to use its result.
// With an `arrival`, the reader announces its pixels and every band of rows it finishes, so
// that the picture can be shown while it is read.
//
// With a `centre`, only the middle `centre` pixels of the picture will ever be seen: a JPEG
// much larger than that may be decoded there alone (see decodeJpegCentre), which gives a
// partial picture (Picture::isPartial). Not together with a strip or an arrival.
struct LoadOptions {
    DrawingStrip strip = {};
    const std::atomic<bool> *cancelled = nullptr;
    RowArrival *arrival = nullptr;
    QSize centre = {};
};

// Reads a BMP, JPEG, GIF or WMF file. Throws RuntimeError for a missing, unreadable, damaged
// or unsupported file; never returns a partial picture as a whole one (only as a partial one,
// when the options ask for a centre).
Picture LoadPicture(const QString &path, const LoadOptions &options = {});

// Decodes picture bytes already in memory; same rules as LoadPicture. Used by the fuzzers.
Picture decodePicture(QByteArrayView bytes, const LoadOptions &options = {});

// Writes `image` as a 24-bit BMP file at exactly `path` (see writeBmp). The write is atomic: on
// failure the old file, if any, is untouched and no partial file is left. Throws RuntimeError on
// failure.
void SavePicture(const QImage &image, const QString &path);

} // namespace lumora::picture
