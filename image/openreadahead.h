#pragma once

#include "image/pictureload.h"

#include <QString>
#include <memory>

namespace lumora::image {

// Reads the picture the Open dialog points at on a worker thread while the user is still in
// the dialog, so that it is ready, or nearly, when the user presses Return. Pointing at
// another file, or at none, drops the work at once: the read stops within a few rows and
// gives its memory back, which the memory budget counts like any picture's.
class OpenReadAhead final {
public:
    explicit OpenReadAhead(picture::LoadOptions options) : m_options(options) {}

    // The file the dialog now points at ("" for none); reading starts unless it runs already.
    void point(const QString &path);
    // The read of `path`: the one started ahead when it is the same file, else one started
    // now. Whether the file changed since is told at the end of the read (PictureLoad::take).
    std::unique_ptr<PictureLoad> take(const QString &path);

private:
    picture::LoadOptions m_options;
    std::unique_ptr<PictureLoad> m_load; // of a canonical path
};

} // namespace lumora::image
