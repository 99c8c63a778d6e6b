#pragma once

#include "runtime/twips.h"

#include <QPixmap>
#include <QString>

namespace lumora::runtime {

// A file of the program's own artwork, and how many of its pixels make one pixel of a form.
struct ArtFile {
    QString path;
    double pixelRatio = 1;
};

// The artwork drawn for a screen of `screenRatio` device pixels a pixel: on a scaled screen
// the twice as fine "name@2x.ext" beside "name.ext", when there is one, so that the art
// keeps its size on the form and is drawn crisp; else the file itself.
ArtFile artFile(const QString &path, double screenRatio = screenPixelRatio());

// The artwork as a pixmap that keeps its size on a form, or a null pixmap.
QPixmap artPixmap(const QString &path, double screenRatio = screenPixelRatio());

} // namespace lumora::runtime
