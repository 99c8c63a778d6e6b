#include "platform/appinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumora::platform {

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString App::Path()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    // An installed program lives in <prefix>/bin and keeps its files in <prefix>/share/lumora.
    const QString shared = QDir::cleanPath(exeDir + QStringLiteral("/../share/lumora"));
    if (QFileInfo(exeDir).fileName() == QLatin1String("bin") &&
        QFileInfo::exists(joinPath(shared, QStringLiteral("lumora.hlp"))))
        return shared;
    return exeDir;
}

QString App::DataPath()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(path);
    return path;
}

} // namespace lumora::platform
