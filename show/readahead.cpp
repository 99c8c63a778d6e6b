#include "show/readahead.h"

#include "picture/loadpicture.h"

#include <QtConcurrent/QtConcurrentRun>

namespace lumora::show {

using picture::Picture;

namespace {

ReadAhead::Result readPicture(const QString &path)
{
    ReadAhead::Result result;
    // Taken before reading: a change during the read then shows as a different stamp.
    result.stamp = stampOf(path);
    try {
        result.picture = picture::LoadPicture(path);
    } catch (const RuntimeError &error) {
        result.error = error;
    } catch (const std::bad_alloc &) {
        result.error = RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
    }
    return result;
}

} // namespace

void ReadAhead::prefetch(const QString &path)
{
    if (m_future.isValid() && m_path == path)
        return;
    m_path = path;
    m_future = QtConcurrent::run(readPicture, path);
}

Picture ReadAhead::take(const QString &path)
{
    if (std::optional<Picture> ready = takeReady(path))
        return *std::move(ready);
    return picture::LoadPicture(path);
}

std::optional<Picture> ReadAhead::takeReady(const QString &path)
{
    if (!m_future.isValid() || m_path != path) {
        clear(); // another picture: its memory is given back before this one is read
        return std::nullopt;
    }
    Result result = m_future.result();
    clear();
    if (!(result.stamp == stampOf(path)))
        return std::nullopt;
    // A read the memory budget refused while the previous picture was still on the screen is
    // tried again now that the step is about to replace it.
    if (result.error && result.error->number() == errors::OutOfMemory)
        return std::nullopt;
    if (result.error)
        throw *result.error;
    return std::move(result.picture);
}

void ReadAhead::clear()
{
    // A read still running holds its share of the memory budget until it ends; waiting for it
    // makes that share free for whatever is read next.
    if (m_future.isValid())
        m_future.waitForFinished();
    m_future = QFuture<Result>();
    m_path.clear();
}

} // namespace lumora::show
