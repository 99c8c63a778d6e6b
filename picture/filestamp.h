#pragma once

#include <QString>

namespace lumora::picture {

// What identifies the contents of a file without reading it: a file replaced or rewritten
// since it was read ahead differs in one of these.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileStamp &) const = default;
};
FileStamp stampOf(const QString &path);

} // namespace lumora::picture
