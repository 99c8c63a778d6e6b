#include "about/sysinfo.h"

#include "about/shell.h"
#include "base/runtimeerror.h"
#include "runtime/appinfo.h"

#include <QFile>
#include <QtEndian>
#include <array>
#include <new>
#include <optional>

namespace lumora::about {

namespace {

using Buffer = std::array<char, kValueBufferSize>;

// A value's bytes as written, less a terminating zero. A size of 0 (an empty value) gives
// no text rather than an error, and a size beyond the buffer is held to the buffer.
QByteArray valueBytes(const Buffer &buffer, quint32 size)
{
    const auto length = static_cast<qsizetype>(std::min(size, kValueBufferSize));
    if (length == 0)
        return QByteArray();
    const bool terminated = buffer[static_cast<std::size_t>(length - 1)] == '\0';
    return QByteArray(buffer.data(), terminated ? length - 1 : length);
}

bool readValue(Registry &registry, HKEY key, const QString &name, QString &KeyVal)
{
    Buffer buffer{};
    quint32 size = kValueBufferSize;
    quint32 type = 0;
    if (registry.RegQueryValueExA(key, name, type, buffer.data(), size) != ERROR_SUCCESS) {
        KeyVal = QString();
        return false;
    }
    const QByteArray bytes = valueBytes(buffer, size);
    if (type == REG_SZ)
        KeyVal = QFile::decodeName(bytes);
    else if (type == REG_DWORD)
        KeyVal = QString::number(qFromLittleEndian<quint32>(buffer.data()));
    return true;
}

// The command to start, or nothing when the registry names no tool. A path that was found
// is tried even when it is empty or names no file: the failure to start it is what tells the
// user, and the tool's folder is not consulted then.
std::optional<QString> sysInfoCommand(Registry &registry)
{
    QString path;
    if (GetKeyValue(registry, HKEY_LOCAL_MACHINE, kSysInfoPathKey, kSysInfoPathValue, path))
        return path;
    if (!GetKeyValue(registry, HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue,
                     path))
        return std::nullopt;
    const QString file = runtime::joinPath(path, registry.sysInfoFileName());
    if (Dir(file).isEmpty())
        return std::nullopt;
    return quoteProgram(file);
}

} // namespace

bool GetKeyValue(Registry &registry, HKEY KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                 QString &KeyVal)
{
    HKEY key = 0;
    bool found = false;
    if (registry.RegOpenKeyExA(KeyRoot, KeyName, 0, kKeyAccess, key) == ERROR_SUCCESS)
        found = readValue(registry, key, SubKeyRef, KeyVal);
    else
        KeyVal = QString();
    registry.RegCloseKey(key);
    return found;
}

void StartSysInfo(Registry &registry, runtime::Dialogs &dialogs)
{
    try {
        if (const std::optional<QString> command = sysInfoCommand(registry)) {
            Shell(*command);
            return;
        }
    } catch (const RuntimeError &) {
    } catch (const std::bad_alloc &) {
    }
    runtime::MsgBox(dialogs, QStringLiteral("System Information Is Unavailable At This Time"),
                    runtime::vbOKOnly);
}

} // namespace lumora::about
