#include "about/systemregistry.h"

#include "about/memoryregistry.h"
#include "about/shell.h"
#include "about/sysinfo.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumora::about {

QList<SysInfoTool> knownSysInfoTools()
{
    // A dedicated system profiler first, then the overview pages of the desktops' own
    // settings programs.
    return {
        {QStringLiteral("hardinfo"), {}},
        {QStringLiteral("kinfocenter"), {}},
        {QStringLiteral("gnome-control-center"), {QStringLiteral("info-overview")}},
        {QStringLiteral("xfce4-about"), {}},
        {QStringLiteral("cinnamon-settings"), {QStringLiteral("info")}},
    };
}

std::optional<SysInfoTool> findSysInfoTool(const QStringList &searchPath)
{
    // An empty list would make the search fall back to PATH; the caller chose the folders.
    if (searchPath.isEmpty())
        return std::nullopt;
    for (SysInfoTool tool : knownSysInfoTools()) {
        const QString found = QStandardPaths::findExecutable(tool.program, searchPath);
        if (!found.isEmpty()) {
            tool.program = found;
            return tool;
        }
    }
    return std::nullopt;
}

QStringList executableSearchPath()
{
    const QString path = qEnvironmentVariable("PATH");
    return path.split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

std::unique_ptr<Registry> systemRegistry(const QStringList &searchPath)
{
    auto registry = std::make_unique<MemoryRegistry>();
    const std::optional<SysInfoTool> tool = findSysInfoTool(searchPath);
    if (!tool)
        return registry;
    QStringList command{quoteProgram(tool->program)};
    command += tool->arguments;
    const QFileInfo file(tool->program);
    registry->setValue(HKEY_LOCAL_MACHINE, kSysInfoPathKey, kSysInfoPathValue,
                       stringValue(command.join(QLatin1Char(' '))));
    registry->setValue(HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue,
                       stringValue(file.absolutePath()));
    registry->setSysInfoFileName(file.fileName());
    return registry;
}

} // namespace lumora::about
