#include "image/openreadahead.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace lumora::image {

using picture::Picture;

namespace {

// The same file by whatever path it was named: typed, relative or chosen in the list.
QString canonical(const QString &path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

picture::StampedLoad readPicture(const QString &path, picture::LoadOptions options,
                                 const std::shared_ptr<std::atomic<bool>> &cancelled)
{
    options.cancelled = cancelled.get();
    return picture::loadStamped(path, options);
}

} // namespace

void OpenReadAhead::point(const QString &path)
{
    const QString file = QFileInfo(path).isFile() ? canonical(path) : QString();
    if (file == m_path)
        return;
    drop();
    if (file.isEmpty())
        return;
    m_path = file;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_future = QtConcurrent::run(readPicture, file, m_options, m_cancelled);
}

Picture OpenReadAhead::take(const QString &path)
{
    if (m_path.isEmpty() || canonical(path) != m_path) {
        drop();
        return picture::LoadPicture(path, m_options);
    }
    picture::StampedLoad result = m_future.result();
    m_future = QFuture<picture::StampedLoad>();
    m_path.clear();
    // A file changed since, or a read the memory budget refused while the dialog was up, is
    // read again now.
    if (std::optional<Picture> ready = std::move(result).takeIfCurrent(path))
        return *std::move(ready);
    return picture::LoadPicture(path, m_options);
}

// The read still running is told to stop and is not waited for: it ends within a few rows,
// and its picture goes with it.
void OpenReadAhead::drop()
{
    if (m_cancelled)
        m_cancelled->store(true);
    m_cancelled.reset();
    m_future = QFuture<picture::StampedLoad>();
    m_path.clear();
}

} // namespace lumora::image
