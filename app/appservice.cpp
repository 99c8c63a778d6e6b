#include "app/appservice.h"

#include <QDBusMessage>
#include <QUrl>

namespace lumora::app {

ApplicationService::ApplicationService(QObject &object, ApplicationCalls calls)
    : QDBusAbstractAdaptor(&object), m_calls(std::move(calls))
{
}

bool ApplicationService::publish(QDBusConnection bus)
{
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(kObjectPath, parent()))
        return false;
    if (bus.registerService(kBusName))
        return true;
    bus.unregisterObject(kObjectPath);
    return false;
}

void ApplicationService::Activate(const QVariantMap &)
{
    if (m_calls.activate)
        m_calls.activate();
}

void ApplicationService::Open(const QStringList &uris, const QVariantMap &)
{
    if (m_calls.activate)
        m_calls.activate();
    const QStringList paths = localFilesOf(uris);
    if (m_calls.open && !paths.isEmpty())
        m_calls.open(paths);
}

void ApplicationService::ActivateAction(const QString &, const QVariantList &, const QVariantMap &)
{
    // The program offers no actions of its own to the desktop.
}

QStringList localFilesOf(const QStringList &uris)
{
    QStringList paths;
    for (const QString &uri : uris) {
        const QUrl url(uri);
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

bool handOver(QDBusConnection bus, const QStringList &paths, int timeoutMs)
{
    if (!bus.isConnected())
        return false;
    const QString interface = QStringLiteral("org.freedesktop.Application");
    QDBusMessage call;
    if (paths.isEmpty()) {
        call = QDBusMessage::createMethodCall(kBusName, kObjectPath, interface,
                                              QStringLiteral("Activate"));
        call << QVariantMap();
    } else {
        QStringList uris;
        for (const QString &path : paths)
            uris << QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
        call = QDBusMessage::createMethodCall(kBusName, kObjectPath, interface,
                                              QStringLiteral("Open"));
        call << uris << QVariantMap();
    }
    // A program that is not running is not started for us: this start then runs on its own.
    // The wait turns the event loop, so a program can hand pictures to itself (tests do).
    call.setAutoStartService(false);
    return bus.call(call, QDBus::BlockWithGui, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

} // namespace lumora::app
