// A stand-in for the desktop portal's Wallpaper interface on a private session bus. It writes
// what it was handed next to the path given as its argument: "<path>.file" (the bytes read
// from the descriptor) and "<path>.options" (one "key=value" line per option, sorted).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QVariantMap>
#include <unistd.h>

class WallpaperPortal final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Wallpaper")
public:
    explicit WallpaperPortal(QString record) : m_record(std::move(record)) {}

public slots:
    QDBusObjectPath SetWallpaperFile(const QString &parentWindow, const QDBusUnixFileDescriptor &fd,
                                     const QVariantMap &options)
    {
        Q_UNUSED(parentWindow);
        QFile in;
        QByteArray bytes;
        if (fd.isValid() &&
            in.open(::dup(fd.fileDescriptor()), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            bytes = in.readAll();
        write(QStringLiteral(".file"), bytes);
        QByteArray lines;
        for (auto it = options.cbegin(); it != options.cend(); ++it)
            lines += it.key().toUtf8() + '=' + it.value().toString().toUtf8() + '\n';
        write(QStringLiteral(".options"), lines);
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t"));
    }

private:
    void write(const QString &suffix, const QByteArray &bytes) const
    {
        QFile out(m_record + suffix);
        if (out.open(QIODevice::WriteOnly))
            out.write(bytes);
    }

    QString m_record;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    WallpaperPortal portal(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")))
        return 1;
    return app.exec();
}

#include "portalstub.moc"
