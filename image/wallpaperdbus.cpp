#include "image/wallpaperbackends.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

namespace lumora::image {

namespace {

// A desktop service that takes longer than this is stuck; the hourglass must not stay.
constexpr int kCallTimeoutMs = 10000;

bool callSucceeds(QDBusConnection &bus, const QDBusMessage &call)
{
    if (!bus.isConnected())
        return false;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// A JavaScript string literal holding `text` exactly, whatever quotes it contains.
QString scriptString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

bool PortalWallpaper::apply(const QString &bmpPath)
{
    if (!(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return false;
    QFile file(bmpPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Wallpaper"), QStringLiteral("SetWallpaperFile"));
    const QVariantMap options{{QStringLiteral("show-preview"), false},
                              {QStringLiteral("set-on"), QStringLiteral("background")}};
    // The descriptor is duplicated into the message; the file may close afterwards.
    call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(file.handle())) << options;
    return callSucceeds(m_bus, call);
}

bool PlasmaWallpaper::apply(const QString &bmpPath)
{
    const QString uri = QUrl::fromLocalFile(bmpPath).toString(QUrl::FullyEncoded);
    const QString script =
        QStringLiteral("var uri = %1;\n"
                       "desktops().forEach(function (d) {\n"
                       "    d.wallpaperPlugin = 'org.kde.image';\n"
                       "    d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];\n"
                       "    d.writeConfig('Image', uri);\n"
                       "});\n")
            .arg(scriptString(uri));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
        QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
    call << script;
    return callSucceeds(m_bus, call);
}

} // namespace lumora::image
