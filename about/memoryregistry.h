#pragma once

#include "about/registry.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <utility>

namespace lumora::about {

struct RegistryValue {
    quint32 type = REG_SZ;
    QByteArray data;
};

// A string value as the system stores it: the text's bytes and a terminating zero.
RegistryValue stringValue(const QString &text);
// A 32-bit number, stored little-endian as the system stores it.
RegistryValue dwordValue(quint32 number);

// A registry held in memory. Key paths and value names compare without regard to case, as
// the system's do.
class MemoryRegistry final : public Registry {
public:
    void setValue(HKEY root, const QString &key, const QString &name, RegistryValue value);
    void setSysInfoFileName(const QString &name) { m_sysInfoFileName = name; }

    long RegOpenKeyExA(HKEY root, const QString &subKey, quint32 options, quint32 samDesired,
                       HKEY &result) override;
    long RegQueryValueExA(HKEY key, const QString &valueName, quint32 &type, char *data,
                          quint32 &size) override;
    long RegCloseKey(HKEY key) override;
    QString sysInfoFileName() const override { return m_sysInfoFileName; }

private:
    using KeyId = std::pair<HKEY, QString>;
    using Values = std::map<QString, RegistryValue>;

    std::map<KeyId, Values> m_keys;
    std::map<HKEY, KeyId> m_open;
    HKEY m_nextHandle = 0x100;
    QString m_sysInfoFileName;
};

} // namespace lumora::about
