#include "show/readahead.h"

#include "picture/loadpicture.h"

#include <QtConcurrent/QtConcurrentRun>

namespace lumora::show {

using picture::Picture;

void ReadAhead::prefetch(const QString &path, QSize centre)
{
    if (m_future.isValid() && m_path == path && m_centre == centre)
        return;
    m_path = path;
    m_centre = centre;
    m_future = QtConcurrent::run([path, centre] {
        return picture::loadStamped(path, picture::LoadOptions{.centre = centre});
    });
}

Picture ReadAhead::take(const QString &path, QSize centre)
{
    if (std::optional<Picture> ready = takeReady(path, centre))
        return *std::move(ready);
    return picture::LoadPicture(path, picture::LoadOptions{.centre = centre});
}

std::optional<Picture> ReadAhead::takeReady(const QString &path, QSize centre)
{
    if (!m_future.isValid() || m_path != path || m_centre != centre) {
        clear(); // another picture: its memory is given back before this one is read
        return std::nullopt;
    }
    picture::StampedLoad result = m_future.result();
    clear();
    // A read the memory budget refused while the previous picture was still on the screen is
    // tried again now that the step is about to replace it.
    return std::move(result).takeIfCurrent(path);
}

void ReadAhead::clear()
{
    // A read still running holds its share of the memory budget until it ends; waiting for it
    // makes that share free for whatever is read next.
    if (m_future.isValid())
        m_future.waitForFinished();
    m_future = QFuture<picture::StampedLoad>();
    m_path.clear();
    m_centre = QSize();
}

} // namespace lumora::show
