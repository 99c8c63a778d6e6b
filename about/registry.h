#pragma once

#include <QString>
#include <QtGlobal>

namespace lumora::about {

// The classic registry's handles, result codes and value types, kept to their system values
// so that a registry answering through this interface behaves as the system's would.
using HKEY = quint32;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_MORE_DATA = 234;

inline constexpr quint32 REG_SZ = 1;
inline constexpr quint32 REG_BINARY = 3;
inline constexpr quint32 REG_DWORD = 4;

// The access the About box asks for when it opens a key.
inline constexpr quint32 kKeyAccess = 0x2003F;

// The three registry calls the About box makes, with the system's results: 0 for success,
// otherwise an error code.
class Registry {
public:
    virtual ~Registry() = default;

    // Opens `subKey` under `root`; on success `result` is the open key's handle.
    virtual long RegOpenKeyExA(HKEY root, const QString &subKey, quint32 options,
                               quint32 samDesired, HKEY &result) = 0;
    // Reads the value `valueName` into `data`, which holds `size` bytes. On success `type`
    // is the value's type and `size` the number of bytes written (a string's terminating
    // zero included); a value longer than the buffer fails with ERROR_MORE_DATA.
    virtual long RegQueryValueExA(HKEY key, const QString &valueName, quint32 &type, char *data,
                                  quint32 &size) = 0;
    virtual long RegCloseKey(HKEY key) = 0;

    // The system-information tool's file name inside the folder that the tool's location
    // value names.
    virtual QString sysInfoFileName() const = 0;
};

} // namespace lumora::about
