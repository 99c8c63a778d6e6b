#include "app/desktopintake.h"

#include "app/appservice.h"
#include "app/dropopener.h"
#include "app/mdikeys.h"

#include <QMdiArea>

namespace lumora::app {

DesktopIntake::DesktopIntake(QDBusConnection bus) : m_bus(std::move(bus))
{
    auto *service = new ApplicationService(
        *this, {[this] { bringToFront(); }, [this](const QStringList &paths) { open(paths); }});
    m_published = service->publish(m_bus);
}

DesktopIntake::~DesktopIntake()
{
    if (m_published) {
        m_bus.unregisterService(kBusName);
        m_bus.unregisterObject(kObjectPath);
    }
}

void DesktopIntake::attach(runtime::MainHost &host)
{
    m_window = &host.mainWindow();
    installMdiKeys(host.mainWindow(), host.mdiArea());
    new DropOpener(*host.mdiArea().viewport(), [this](const QStringList &paths) { open(paths); });
    m_queue.start(host);
}

void DesktopIntake::bringToFront()
{
    // Before the main window is up there is nothing to raise: it comes to the front anyway.
    if (!m_window || !m_window->isVisible())
        return;
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    m_window->activateWindow();
}

} // namespace lumora::app
