#pragma once

#include "runtime/mainhost.h"

#include <QObject>
#include <QStringList>
#include <deque>

namespace lumora::app {

// Pictures handed to the program from outside (command line, another start, a drop), opened
// one per turn of the event loop exactly as File Open opens a chosen path, so that each
// window is painted as it comes and a long list never holds up the desktop. Paths wait until
// the main window is up.
class PictureQueue final : public QObject {
    Q_OBJECT
public:
    explicit PictureQueue(QObject *parent = nullptr) : QObject(parent) {}

    void add(const QStringList &paths);
    // From now on the queued pictures open in `host`'s workspace.
    void start(runtime::MainHost &host);
    qsizetype pending() const { return qsizetype(m_paths.size()); }

signals:
    // The queue has opened everything it was given so far.
    void drained();

private:
    void scheduleNext();
    void openNext();

    std::deque<QString> m_paths;
    runtime::MainHost *m_host = nullptr;
    bool m_scheduled = false;
};

} // namespace lumora::app
