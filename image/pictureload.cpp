#include "image/pictureload.h"

#include <QtConcurrent/QtConcurrentRun>

namespace lumora::image {

namespace {

// The worker keeps what the read writes to alive, so the load may go before the read ends.
picture::StampedLoad readPicture(const QString &path, picture::LoadOptions options,
                                 const std::shared_ptr<std::atomic<bool>> &cancelled,
                                 const std::shared_ptr<picture::RowArrival> &arrival)
{
    options.cancelled = cancelled.get();
    options.arrival = arrival.get();
    picture::StampedLoad result = picture::loadStamped(path, options);
    arrival->end();
    return result;
}

} // namespace

PictureLoad::PictureLoad(const QString &path, picture::LoadOptions options)
    : m_path(path), m_options(options), m_cancelled(std::make_shared<std::atomic<bool>>(false)),
      m_arrival(std::make_shared<picture::RowArrival>())
{
    m_arrival->setListener([this] {
        QMetaObject::invokeMethod(this, &PictureLoad::rowsArrived, Qt::QueuedConnection);
    });
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &PictureLoad::finished);
    m_future = QtConcurrent::run(readPicture, path, options, m_cancelled, m_arrival);
    m_watcher.setFuture(m_future);
}

PictureLoad::~PictureLoad()
{
    m_arrival->setListener(nullptr);
    m_cancelled->store(true);
    m_watcher.disconnect(this);
}

picture::Picture PictureLoad::take(const QString &path)
{
    picture::StampedLoad result = m_future.result();
    if (std::optional<picture::Picture> ready = std::move(result).takeIfCurrent(path))
        return *std::move(ready);
    return picture::LoadPicture(path, m_options);
}

} // namespace lumora::image
