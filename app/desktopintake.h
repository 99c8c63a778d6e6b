#pragma once

#include "app/picturequeue.h"
#include "runtime/mainhost.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>

namespace lumora::app {

// Everything through which the desktop hands the running program its pictures: the files of
// the command line, the session bus (another start, a file manager's "Open With"), drops on
// the workspace; and the workspace keys a multiple-document window answers. Each picture
// opens as File Open opens it, once the main window is up.
class DesktopIntake final : public QObject {
    Q_OBJECT
public:
    // Serves org.freedesktop.Application on `bus` when the program's name is free there.
    explicit DesktopIntake(QDBusConnection bus);
    ~DesktopIntake() override;

    bool published() const { return m_published; }
    void open(const QStringList &paths) { m_queue.add(paths); }
    // The main window is up: queued and later pictures open in it.
    void attach(runtime::MainHost &host);
    PictureQueue &queue() { return m_queue; }

private:
    void bringToFront();

    PictureQueue m_queue;
    QPointer<QWidget> m_window;
    QDBusConnection m_bus;
    bool m_published = false;
};

} // namespace lumora::app
