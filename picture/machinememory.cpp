#include "picture/machinememory.h"

#include <QFile>
#include <algorithm>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace lumora::picture {

namespace {

constexpr qint64 kBytesPerMegabyte = qint64(1) << 20;

// A number in a small kernel file; nullopt when the file is missing or holds something else
// ("max", the unified hierarchy's word for no limit).
std::optional<qint64> readNumber(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qint64 value = file.readAll().trimmed().toLongLong(&ok);
    return ok && value >= 0 ? std::optional<qint64>(value) : std::nullopt;
}

struct LimitFiles {
    const char *limit;
    const char *usage;
};
constexpr LimitFiles kUnified{"memory.max", "memory.current"};
constexpr LimitFiles kMemoryController{"memory.limit_in_bytes", "memory.usage_in_bytes"};

// The room under each limit from `group` up to the hierarchy's root.
qint64 roomUpTheTree(const QString &hierarchy, QString group, const LimitFiles &files)
{
    qint64 room = kNoMemoryLimit;
    while (true) {
        const QString dir = hierarchy + group;
        if (const auto limit = readNumber(dir + QLatin1Char('/') + QLatin1String(files.limit))) {
            const qint64 used =
                readNumber(dir + QLatin1Char('/') + QLatin1String(files.usage)).value_or(0);
            room = std::min(room, std::max<qint64>(0, *limit - used));
        }
        if (group.isEmpty())
            return room;
        group.truncate(std::max<qsizetype>(0, group.lastIndexOf(QLatin1Char('/'))));
    }
}

// The process's mapped bytes, which count against the address-space limit already.
qint64 mappedBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray pages = statm.readAll().split(' ').value(0);
    return pages.toLongLong() * sysconf(_SC_PAGESIZE);
}

qint64 addressSpaceRoomBytes()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kNoMemoryLimit;
    const auto bytes = qint64(std::min<rlim_t>(limit.rlim_cur, rlim_t(kNoMemoryLimit)));
    return std::max<qint64>(0, bytes - mappedBytes());
}

qint64 physicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kNoMemoryLimit;
    return qint64(pages) * pageSize;
}

} // namespace

qint64 MachineMemory::smallest() const
{
    return std::min({physical, cgroupRoom, addressSpaceRoom});
}

qint64 cgroupRoomBytes(const QByteArray &procSelfCgroup, const QString &mountRoot)
{
    qint64 room = kNoMemoryLimit;
    for (const QByteArray &line : procSelfCgroup.split('\n')) {
        // "hierarchy-id:controllers:path"; the unified hierarchy is "0::path".
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 3)
            continue;
        QString group = QString::fromLocal8Bit(fields.mid(2).join(':'));
        if (group == QLatin1String("/"))
            group.clear();
        if (fields[0] == "0" && fields[1].isEmpty())
            room = std::min(room, roomUpTheTree(mountRoot, group, kUnified));
        else if (fields[1].split(',').contains("memory"))
            room = std::min(room, roomUpTheTree(mountRoot + QStringLiteral("/memory"), group,
                                                kMemoryController));
    }
    return room;
}

MachineMemory measureMachineMemory()
{
    MachineMemory machine;
    machine.physical = physicalMemoryBytes();
    QFile cgroups(QStringLiteral("/proc/self/cgroup"));
    if (cgroups.open(QIODevice::ReadOnly))
        machine.cgroupRoom = cgroupRoomBytes(cgroups.readAll(), QStringLiteral("/sys/fs/cgroup"));
    machine.addressSpaceRoom = addressSpaceRoomBytes();
    return machine;
}

qint64 chooseBudgetBytes(const MachineMemory &machine, const QByteArray &overrideMegabytes)
{
    const qint64 room = machine.smallest();
    bool ok = false;
    const qint64 megabytes = overrideMegabytes.trimmed().toLongLong(&ok);
    if (ok && megabytes > 0 && megabytes <= room / kBytesPerMegabyte)
        return megabytes * kBytesPerMegabyte;
    if (ok && megabytes > 0)
        return room;
    return room / 2;
}

qint64 budgetBytesAtStartUp()
{
    return chooseBudgetBytes(measureMachineMemory(), qgetenv("LUMORA_MEMORY_BUDGET_MB"));
}

} // namespace lumora::picture
