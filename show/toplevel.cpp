#include "show/toplevel.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace lumora::show {

namespace {

// Removes the window once the main window has closed. The check waits for the close to be
// handled: only a main window that is really gone takes the window with it.
class MainWindowWatcher final : public QObject {
public:
    MainWindowWatcher(QWidget &window, QWidget &mainWindow)
        : QObject(&window), m_window(&window), m_main(&mainWindow)
    {
        mainWindow.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_main && event->type() == QEvent::Close) {
            QTimer::singleShot(0, this, [this] {
                if (m_main && !m_main->isVisible() && m_window)
                    m_window->deleteLater();
            });
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_main;
};

} // namespace

void endWithMainWindow(QWidget &window, QWidget &mainWindow)
{
    // Owned by the main window, so it is destroyed with it; a window of its own on screen.
    window.setParent(&mainWindow, window.windowFlags() | Qt::Window);
    new MainWindowWatcher(window, mainWindow);
}

} // namespace lumora::show
