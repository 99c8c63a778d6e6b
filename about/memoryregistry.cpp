#include "about/memoryregistry.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

namespace lumora::about {

RegistryValue stringValue(const QString &text)
{
    QByteArray bytes = QFile::encodeName(text);
    bytes.append('\0');
    return {REG_SZ, bytes};
}

RegistryValue dwordValue(quint32 number)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(number, bytes.data());
    return {REG_DWORD, bytes};
}

void MemoryRegistry::setValue(HKEY root, const QString &key, const QString &name,
                              RegistryValue value)
{
    m_keys[{root, key.toLower()}][name.toLower()] = std::move(value);
}

long MemoryRegistry::RegOpenKeyExA(HKEY root, const QString &subKey, quint32, quint32, HKEY &result)
{
    result = 0;
    const KeyId id{root, subKey.toLower()};
    if (!m_keys.contains(id))
        return ERROR_FILE_NOT_FOUND;
    result = m_nextHandle++;
    m_open.emplace(result, id);
    return ERROR_SUCCESS;
}

long MemoryRegistry::RegQueryValueExA(HKEY key, const QString &valueName, quint32 &type, char *data,
                                      quint32 &size)
{
    const auto open = m_open.find(key);
    if (open == m_open.end())
        return ERROR_INVALID_HANDLE;
    const Values &values = m_keys.at(open->second);
    const auto value = values.find(valueName.toLower());
    if (value == values.end())
        return ERROR_FILE_NOT_FOUND;
    const auto length = static_cast<quint32>(value->second.data.size());
    const quint32 room = size;
    size = length;
    if (length > room || (length > 0 && !data))
        return ERROR_MORE_DATA;
    type = value->second.type;
    if (length > 0)
        std::memcpy(data, value->second.data.constData(), length);
    return ERROR_SUCCESS;
}

long MemoryRegistry::RegCloseKey(HKEY key)
{
    return m_open.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

} // namespace lumora::about
