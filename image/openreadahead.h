#pragma once

#include "picture/loadpicture.h"
#include "picture/stampedload.h"

#include <QFuture>
#include <QString>
#include <atomic>
#include <memory>

namespace lumora::image {

// Reads the picture the Open dialog points at on a worker thread while the user is still in
// the dialog, so that it is ready, or nearly, when the user presses Return. Pointing at
// another file, or at none, drops the work at once: the read stops within a few rows and
// gives its memory back, which the memory budget counts like any picture's.
class OpenReadAhead final {
public:
    explicit OpenReadAhead(picture::LoadOptions options) : m_options(options) {}
    ~OpenReadAhead() { drop(); }
    OpenReadAhead(const OpenReadAhead &) = delete;
    OpenReadAhead &operator=(const OpenReadAhead &) = delete;

    // The file the dialog now points at ("" for none); reading starts unless it runs already.
    void point(const QString &path);
    // The picture at `path`, as LoadPicture gives it: the one read ahead when it is the same
    // file, unchanged since, else read now. Throws the run-time error the reading raised.
    picture::Picture take(const QString &path);

private:
    void drop();

    picture::LoadOptions m_options;
    QString m_path; // canonical
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    QFuture<picture::StampedLoad> m_future;
};

} // namespace lumora::image
