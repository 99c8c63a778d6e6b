#pragma once

#include "about/registry.h"
#include "runtime/dialogs.h"

#include <QLatin1String>
#include <QString>

namespace lumora::about {

// Where the registry keeps the system-information tool: its full path, or its folder.
inline constexpr QLatin1String kSysInfoPathKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
inline constexpr QLatin1String kSysInfoPathValue("PATH");
inline constexpr QLatin1String kSysInfoLocationKey("SOFTWARE\\Microsoft\\Shared Tools Location");
inline constexpr QLatin1String kSysInfoLocationValue("MSINFO");

// Size of the buffer a value is read into; a longer value counts as not found.
inline constexpr quint32 kValueBufferSize = 1024;

// Reads the value `SubKeyRef` of the key `KeyName` under `KeyRoot` as text into `KeyVal`.
// True when the value was read. A string gives its text, a 32-bit number its decimal form;
// a value of another type is found but leaves `KeyVal` as it was. When nothing was read,
// `KeyVal` is "".
bool GetKeyValue(Registry &registry, HKEY KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                 QString &KeyVal);

// Starts the system-information tool that the registry names, or tells the user that none
// is available.
void StartSysInfo(Registry &registry, runtime::Dialogs &dialogs);

} // namespace lumora::about
