#pragma once

#include "image/imagewindow.h"
#include "runtime/mainhost.h"

namespace lumora::show {

enum class ShowEnd {
    AfterLast, // a step past the last picture: the picture box's outer size
    Escape,    // Esc: its inner size, and the window sized from the outer
};

// Opens `path` in a new image window as an end of the show does: sized from the loaded
// picture but without room for the window's frame. Every failing step is skipped, so a
// picture that cannot be read still gets its window.
image::ImageWindow *openAtShowEnd(runtime::MainHost &host, const QString &path, ShowEnd how);

} // namespace lumora::show
