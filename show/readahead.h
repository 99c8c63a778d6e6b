#pragma once

#include "picture/stampedload.h"

#include <QFuture>
#include <QString>
#include <optional>

namespace lumora::show {

// Reads the show's next picture on a worker thread while the current one is on the screen.
// Only the reading moves off the user-interface thread: what a step does with the picture,
// and whether it stops at its error check, is the same as with a picture read on the spot.
class ReadAhead final {
public:
    ReadAhead() = default;
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // Starts reading `path`, of which only the middle `centre` pixels are to be seen (all of
    // it for an empty size: see picture::LoadOptions), unless it is being read so already.
    void prefetch(const QString &path, QSize centre = {});
    // The picture at `path`, as LoadPicture gives it for that `centre`: the one read ahead
    // when it was read for the same centre and the file is unchanged since, else read now
    // (also when the memory budget refused the read ahead). Throws the run-time error the
    // reading raised.
    picture::Picture take(const QString &path, QSize centre = {});
    // Forgets what was read ahead, after waiting for a read still running.
    void clear();
    QString pendingPath() const { return m_path; }
    // True when the picture read ahead is there to be taken without waiting.
    bool isReady() const { return m_future.isValid() && m_future.isFinished(); }

private:
    // The picture read ahead for `path`, or nullopt when it must be read now.
    std::optional<picture::Picture> takeReady(const QString &path, QSize centre);

    QString m_path;
    QSize m_centre;
    QFuture<picture::StampedLoad> m_future;
};

} // namespace lumora::show
