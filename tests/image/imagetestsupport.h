#pragma once

#include "tests/support/imagemagick.h"
#include "tests/pictures/picturecompare.h"

#include <QFile>
#include <algorithm>

namespace lumora::testing {

// A memory figure of this process from the kernel ("VmHWM:", "VmRSS:"), in bytes; -1 when
// the kernel does not say.
inline qint64 statusBytes(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const QByteArray &l) { return l.startsWith(field); });
    if (line == lines.end())
        return -1;
    return line->mid(field.size()).trimmed().split(' ').first().toLongLong() * 1024;
}

// Peak memory of this process so far, in bytes (the kernel's high-water mark).
inline qint64 peakResidentBytes()
{
    return statusBytes("VmHWM:");
}

// Memory of this process resident now, in bytes.
inline qint64 residentBytes()
{
    return statusBytes("VmRSS:");
}

} // namespace lumora::testing
