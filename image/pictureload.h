#pragma once

#include "picture/loadpicture.h"
#include "picture/rowarrival.h"
#include "picture/stampedload.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <atomic>
#include <memory>

namespace lumora::image {

// A picture file read on a worker thread, to be shown while it arrives: first its size is
// known (waitForBegin), then its rows come band by band (rowsArrived), then the read ends
// (finished). Destroying the load stops the read within a few rows without waiting for it;
// its memory goes back as the read ends.
class PictureLoad final : public QObject {
    Q_OBJECT
public:
    PictureLoad(const QString &path, picture::LoadOptions options);
    ~PictureLoad() override;
    PictureLoad(const PictureLoad &) = delete;
    PictureLoad &operator=(const PictureLoad &) = delete;

    // The file as it was named: canonical for a read started ahead.
    const QString &path() const { return m_path; }
    picture::RowArrival &arrival() { return *m_arrival; }
    // Blocks until the picture's size is known or the read is over; true when its rows are
    // on their way.
    bool waitForBegin() const { return m_arrival->waitForBegin(); }
    bool isFinished() const { return m_future.isFinished(); }
    // Waits for the end of the read and gives the picture as LoadPicture would now: read
    // again when the file changed meanwhile or the memory budget had refused it. Throws the
    // run-time error of the read.
    picture::Picture take(const QString &path);

signals:
    void rowsArrived();
    void finished();

private:
    QString m_path;
    picture::LoadOptions m_options;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    std::shared_ptr<picture::RowArrival> m_arrival;
    QFuture<picture::StampedLoad> m_future;
    QFutureWatcher<picture::StampedLoad> m_watcher;
};

} // namespace lumora::image
