#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QStringList>
#include <QVariantMap>
#include <functional>

namespace lumora::app {

inline const QString kBusName = QStringLiteral("org.example.lumora");
inline const QString kObjectPath = QStringLiteral("/org/example/lumora");

// What the running program does when another start or the desktop calls on it.
struct ApplicationCalls {
    std::function<void()> activate;
    std::function<void(const QStringList &paths)> open;
};

// The desktop's interface for a program with one running instance (org.freedesktop.Application),
// served on the session bus under the program's well-known name. Each call only queues its
// work and answers at once, so a caller never waits on a picture being read.
class ApplicationService final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    ApplicationService(QObject &object, ApplicationCalls calls);

    // Puts the object on `bus` and takes the well-known name; false when the bus is missing
    // or another program holds the name.
    bool publish(QDBusConnection bus);

public slots:
    void Activate(const QVariantMap &platformData);
    void Open(const QStringList &uris, const QVariantMap &platformData);
    void ActivateAction(const QString &name, const QVariantList &parameter,
                        const QVariantMap &platformData);

private:
    ApplicationCalls m_calls;
};

// The local files among `uris`; anything else is left out.
QStringList localFilesOf(const QStringList &uris);

// Hands `paths` (or, with none, a wish to come to the front) to a program already serving
// the name on `bus`. True when it answered within `timeoutMs`; false means this start is
// on its own. Never starts a program through bus activation.
bool handOver(QDBusConnection bus, const QStringList &paths, int timeoutMs = 1000);

} // namespace lumora::app
