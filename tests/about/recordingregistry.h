#pragma once

#include "about/memoryregistry.h"

#include <QList>
#include <QStringList>

namespace lumora::testing {

// A registry held in memory that also records which keys were opened and which handles
// closed, so a test can tell what a reader looked at.
class RecordingRegistry final : public about::Registry {
public:
    about::MemoryRegistry values;
    QStringList openedKeys;
    QList<about::HKEY> openedHandles; // 0 for a failed open
    QList<about::HKEY> closedHandles;
    QList<quint32> accessMasks;

    long RegOpenKeyExA(about::HKEY root, const QString &subKey, quint32 options, quint32 samDesired,
                       about::HKEY &result) override
    {
        openedKeys << subKey;
        accessMasks << samDesired;
        const long status = values.RegOpenKeyExA(root, subKey, options, samDesired, result);
        openedHandles << (status == about::ERROR_SUCCESS ? result : 0);
        return status;
    }
    long RegQueryValueExA(about::HKEY key, const QString &valueName, quint32 &type, char *data,
                          quint32 &size) override
    {
        return values.RegQueryValueExA(key, valueName, type, data, size);
    }
    long RegCloseKey(about::HKEY key) override
    {
        closedHandles << key;
        return values.RegCloseKey(key);
    }
    QString sysInfoFileName() const override { return values.sysInfoFileName(); }
};

} // namespace lumora::testing
