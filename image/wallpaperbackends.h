#pragma once

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QString>
#include <memory>
#include <vector>

namespace lumora::image {

// What decides how the wallpaper is set on this machine; passed in so a test can pick a bus,
// a desktop and a display of its own.
struct DesktopFacts {
    QDBusConnection sessionBus = QDBusConnection(QString());
    QProcessEnvironment environment;
    // The X display to fall back to ("" when the program does not run on X11).
    QString x11Display;

    // The running program's session bus, environment and display.
    static DesktopFacts current();
};

// One way of making a BMP file the desktop wallpaper. `apply` reports whether the desktop
// took it; it never throws and never runs a shell.
class DesktopWallpaper {
public:
    virtual ~DesktopWallpaper() = default;
    virtual QString name() const = 0;
    virtual bool apply(const QString &bmpPath) = 0;
};

// xdg-desktop-portal's Wallpaper interface, handed an open file descriptor.
class PortalWallpaper final : public DesktopWallpaper {
public:
    explicit PortalWallpaper(QDBusConnection bus) : m_bus(std::move(bus)) {}
    QString name() const override { return QStringLiteral("portal"); }
    bool apply(const QString &bmpPath) override;

private:
    QDBusConnection m_bus;
};

// A GSettings key set with the gsettings program (GNOME, Budgie, Cinnamon, MATE).
class GSettingsWallpaper final : public DesktopWallpaper {
public:
    struct Schema {
        QString schema;
        QStringList keys;  // all set to the same value
        bool asUri = true; // a file:// URI, or a plain path
    };
    static Schema gnome();
    static Schema cinnamon();
    static Schema mate();

    GSettingsWallpaper(Schema schema, QProcessEnvironment environment)
        : m_schema(std::move(schema)), m_environment(std::move(environment))
    {
    }
    QString name() const override { return QStringLiteral("gsettings ") + m_schema.schema; }
    bool apply(const QString &bmpPath) override;

private:
    Schema m_schema;
    QProcessEnvironment m_environment;
};

// KDE Plasma: a script evaluated by the running shell over D-Bus.
class PlasmaWallpaper final : public DesktopWallpaper {
public:
    explicit PlasmaWallpaper(QDBusConnection bus) : m_bus(std::move(bus)) {}
    QString name() const override { return QStringLiteral("plasma"); }
    bool apply(const QString &bmpPath) override;

private:
    QDBusConnection m_bus;
};

// Xfce: every monitor's "last-image" property through xfconf-query.
class XfceWallpaper final : public DesktopWallpaper {
public:
    explicit XfceWallpaper(QProcessEnvironment environment) : m_environment(std::move(environment))
    {
    }
    QString name() const override { return QStringLiteral("xfconf"); }
    bool apply(const QString &bmpPath) override;

private:
    QProcessEnvironment m_environment;
};

// Any X11 desktop without a setting of its own: the root window's background pixmap, kept
// after the program ends and announced through _XROOTPMAP_ID and ESETROOT_PMAP_ID.
class X11RootWallpaper final : public DesktopWallpaper {
public:
    explicit X11RootWallpaper(QString display) : m_display(std::move(display)) {}
    QString name() const override { return QStringLiteral("x11 root window"); }
    bool apply(const QString &bmpPath) override;

private:
    QString m_display;
};

// The ways to try, in order: the portal where the session bus has one, then the running
// desktop's own setting, then the X11 root window.
std::vector<std::unique_ptr<DesktopWallpaper>> wallpaperBackends(const DesktopFacts &facts);

// Tries each way in order until one takes the file. Returns the name of the one that did, or
// "" when none did.
QString setDesktopWallpaper(const DesktopFacts &facts, const QString &bmpPath);

// Runs a program with an argument list (never a shell) and a time limit; true when it ended
// normally with status 0. `output` receives its standard output when given.
bool runTool(const QString &program, const QStringList &arguments,
             const QProcessEnvironment &environment, QByteArray *output = nullptr);

} // namespace lumora::image
