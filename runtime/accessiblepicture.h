#pragma once

#include "picture/picture.h"

#include <QString>

class QWidget;

namespace lumora::runtime {

class PictureBox;

// Lets assistive technology read picture boxes, and the widgets marked by `readAsPicture`, as
// pictures: a screen reader announces an image by its name and the size of what it shows,
// where it would otherwise find an empty, unnamed pane. Hidden boxes are marked invisible, as
// every hidden widget is. Install once the application exists; installing again does nothing.
void installAccessiblePictures();

// Marks a widget that shows nothing but a picture to be read as one.
void readAsPicture(QWidget &widget);

// How a screen reader describes a picture: "6000 × 4000 pixels", or "No picture".
QString pictureSizeText(const picture::Picture &picture, const TwipScale &scale);

// Names `box` after the file at `path` ("beach.jpg") and describes the picture `source`
// holds, which may be the box itself.
void describePicture(QWidget &box, const QString &path, const PictureBox &source);

} // namespace lumora::runtime
