#pragma once

#include "about/registry.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace lumora::about {

// A system-information tool of a Linux desktop and the arguments that open its overview.
struct SysInfoTool {
    QString program;
    QStringList arguments;
};

// The tools we recognise, in the order we prefer them.
QList<SysInfoTool> knownSysInfoTools();

// The first recognised tool installed in one of the folders of `searchPath`, with its
// program as a full path; nothing when none is installed.
std::optional<SysInfoTool> findSysInfoTool(const QStringList &searchPath);

// The folders of the PATH environment variable.
QStringList executableSearchPath();

// This platform's registry: the system-information tool's two keys name the tool found in
// `searchPath`, and are missing when none is installed.
std::unique_ptr<Registry> systemRegistry(const QStringList &searchPath);

} // namespace lumora::about
