#include "image/wallpaperbackends.h"

#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

namespace lumora::image {

namespace {

// A desktop program that takes longer than this is stuck; the hourglass must not stay.
constexpr int kToolTimeoutMs = 10000;

// GVariant text of a string, so gsettings never has to guess where it ends.
QString gvariantString(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QStringList currentDesktops(const QProcessEnvironment &environment)
{
    return environment.value(QStringLiteral("XDG_CURRENT_DESKTOP"))
        .toLower()
        .split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

// The running desktop's own setting, or nothing for a desktop we do not know.
std::unique_ptr<DesktopWallpaper> ownDesktopSetting(const DesktopFacts &facts)
{
    const QStringList desktops = currentDesktops(facts.environment);
    const auto running = [&](std::initializer_list<const char *> names) {
        for (const char *name : names)
            if (desktops.contains(QLatin1String(name)))
                return true;
        return false;
    };
    if (running({"x-cinnamon", "cinnamon"}))
        return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::cinnamon(),
                                                    facts.environment);
    if (running({"mate"}))
        return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::mate(), facts.environment);
    if (running({"gnome", "budgie", "unity", "pantheon"}))
        return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::gnome(), facts.environment);
    if (running({"kde"}))
        return std::make_unique<PlasmaWallpaper>(facts.sessionBus);
    if (running({"xfce"}))
        return std::make_unique<XfceWallpaper>(facts.environment);
    return nullptr;
}

} // namespace

DesktopFacts DesktopFacts::current()
{
    DesktopFacts facts;
    facts.sessionBus = QDBusConnection::sessionBus();
    facts.environment = QProcessEnvironment::systemEnvironment();
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        facts.x11Display = facts.environment.value(QStringLiteral("DISPLAY"));
    return facts;
}

bool runTool(const QString &program, const QStringList &arguments,
             const QProcessEnvironment &environment, QByteArray *output)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!output)
        process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(kToolTimeoutMs))
        return false;
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

GSettingsWallpaper::Schema GSettingsWallpaper::gnome()
{
    // The dark style has a picture of its own since GNOME 42; both must show the new one.
    return {QStringLiteral("org.gnome.desktop.background"),
            {QStringLiteral("picture-uri"), QStringLiteral("picture-uri-dark")},
            true};
}

GSettingsWallpaper::Schema GSettingsWallpaper::cinnamon()
{
    return {
        QStringLiteral("org.cinnamon.desktop.background"), {QStringLiteral("picture-uri")}, true};
}

GSettingsWallpaper::Schema GSettingsWallpaper::mate()
{
    return {QStringLiteral("org.mate.background"), {QStringLiteral("picture-filename")}, false};
}

bool GSettingsWallpaper::apply(const QString &bmpPath)
{
    const QString value =
        m_schema.asUri ? QUrl::fromLocalFile(bmpPath).toString(QUrl::FullyEncoded) : bmpPath;
    const auto setKey = [&](const QString &key) {
        return runTool(QStringLiteral("gsettings"),
                       {QStringLiteral("set"), m_schema.schema, key, gvariantString(value)},
                       m_environment);
    };
    if (!setKey(m_schema.keys.first()))
        return false;
    // Later keys (the dark style's picture) are missing on older desktops: not a failure.
    for (qsizetype i = 1; i < m_schema.keys.size(); ++i)
        setKey(m_schema.keys.at(i));
    return true;
}

bool XfceWallpaper::apply(const QString &bmpPath)
{
    const QString channel = QStringLiteral("xfce4-desktop");
    QByteArray listing;
    if (!runTool(QStringLiteral("xfconf-query"),
                 {QStringLiteral("-c"), channel, QStringLiteral("-l")}, m_environment, &listing))
        return false;
    bool applied = false;
    for (const QByteArray &line : listing.split('\n')) {
        const QString property = QString::fromUtf8(line.trimmed());
        if (!property.endsWith(QLatin1String("/last-image")))
            continue;
        applied |= runTool(QStringLiteral("xfconf-query"),
                           {QStringLiteral("-c"), channel, QStringLiteral("-p"), property,
                            QStringLiteral("-s"), bmpPath},
                           m_environment);
    }
    return applied;
}

std::vector<std::unique_ptr<DesktopWallpaper>> wallpaperBackends(const DesktopFacts &facts)
{
    std::vector<std::unique_ptr<DesktopWallpaper>> backends;
    if (facts.sessionBus.isConnected())
        backends.push_back(std::make_unique<PortalWallpaper>(facts.sessionBus));
    if (auto own = ownDesktopSetting(facts))
        backends.push_back(std::move(own));
    if (!facts.x11Display.isEmpty())
        backends.push_back(std::make_unique<X11RootWallpaper>(facts.x11Display));
    return backends;
}

QString setDesktopWallpaper(const DesktopFacts &facts, const QString &bmpPath)
{
    for (const auto &backend : wallpaperBackends(facts))
        if (backend->apply(bmpPath))
            return backend->name();
    return QString();
}

} // namespace lumora::image
