#pragma once

#include <QByteArray>
#include <QString>
#include <limits>

namespace lumora::picture {

inline constexpr qint64 kNoMemoryLimit = std::numeric_limits<qint64>::max();

// What the machine lets this process hold, in bytes; kNoMemoryLimit where nothing limits it.
struct MachineMemory {
    qint64 physical = kNoMemoryLimit;
    // Room left under the memory limits of the process's control groups.
    qint64 cgroupRoom = kNoMemoryLimit;
    // Room left under the address-space limit (RLIMIT_AS) beyond what is mapped already.
    qint64 addressSpaceRoom = kNoMemoryLimit;

    qint64 smallest() const;
};

MachineMemory measureMachineMemory();

// The room under every memory limit on the way from this process's control groups up to the
// root: each level's limit less what that level already uses. `procSelfCgroup` is the text of
// /proc/self/cgroup; `mountRoot` is where the cgroup file systems are mounted (/sys/fs/cgroup).
// Both the unified hierarchy (memory.max) and the older memory controller
// (memory.limit_in_bytes) are read.
qint64 cgroupRoomBytes(const QByteArray &procSelfCgroup, const QString &mountRoot);

// The budget for the pictures: half of the smallest room the machine leaves, so that the rest
// of the program (Qt, fonts, the copies made for the clipboard, a BMP file or the printer) and
// the rest of the system keep the other half. `overrideMegabytes` (the text of
// LUMORA_MEMORY_BUDGET_MB) sets the budget instead when it is a positive whole number of MiB,
// up to the smallest room itself; anything else is ignored.
qint64 chooseBudgetBytes(const MachineMemory &machine, const QByteArray &overrideMegabytes);

// chooseBudgetBytes for this machine and this process's environment.
qint64 budgetBytesAtStartUp();

} // namespace lumora::picture
