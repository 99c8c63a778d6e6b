#pragma once

#include "image/imagewindow.h"
#include "runtime/mainhost.h"

namespace lumora::image {

inline const QString kOpenFilter = QStringLiteral(
    "All Graphic Files|*.jpg;*.gif;*.bmp;*.wmf*|*.jpg|*.jpg|*.gif|*.gif|*.bmp|*.bmp|*.wmf|*.wmf");

// File > Open: asks for a picture and opens it in a new image window. Every step that fails
// is skipped and nothing is reported: a picture that cannot be read still gets its window.
void openChosenPicture(runtime::MainHost &host);

class OpenReadAhead;

// Loads `path` into a new image window fitted around the picture and shows it (the part of
// File Open after the dialog), taking the picture from `readAhead` when it has it. Returns
// the window.
ImageWindow *openPictureWindow(runtime::MainHost &host, const QString &path,
                               OpenReadAhead *readAhead = nullptr);

} // namespace lumora::image
