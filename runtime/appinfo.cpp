#include "runtime/appinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// Builds outside this project's CMake files get the standard layout.
#ifndef LUMORA_DATA_FROM_BINDIR
#define LUMORA_DATA_FROM_BINDIR "../share/lumora"
#endif
#ifndef LUMORA_BINDIR_NAME
#define LUMORA_BINDIR_NAME "bin"
#endif

namespace lumora::runtime {

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString App::Path()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    // An installed program lives in <prefix>/bin and keeps its files in <prefix>/share/lumora;
    // both are found from the executable, so the whole tree may sit under any prefix. A build
    // tree's program is never in a folder named like that, so a tree installed into the build
    // folder cannot hand it a stale help file.
    const QString shared =
        QDir::cleanPath(joinPath(exeDir, QStringLiteral(LUMORA_DATA_FROM_BINDIR)));
    if (QFileInfo(exeDir).fileName() == QLatin1String(LUMORA_BINDIR_NAME) &&
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

} // namespace lumora::runtime
