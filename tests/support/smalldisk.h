#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <sys/statvfs.h>

namespace lumora::testing {

// A small tmpfs of our own mounted on a folder, so a full or read-only disk is a real one and
// not a pretend one. Mounting needs root, or a private user and mount namespace
// (`unshare -rm`), which also keeps the mount out of everybody else's sight.
class SmallDisk final {
public:
    SmallDisk(const QString &where, qint64 bytes) : m_where(where)
    {
        QDir().mkpath(where);
        m_mounted = run(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), where});
    }
    explicit SmallDisk(const QString &where) : SmallDisk(where, 64 * 1024) {}
    ~SmallDisk()
    {
        if (m_mounted)
            run(QStringLiteral("umount"), {m_where});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    bool makeReadOnly() const
    {
        return run(QStringLiteral("mount"),
                   {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_where});
    }
    // Bytes a new file can still take.
    qint64 freeBytes() const
    {
        struct statvfs facts {};
        if (statvfs(QFile::encodeName(m_where).constData(), &facts) != 0)
            return -1;
        return qint64(facts.f_bavail) * qint64(facts.f_frsize);
    }
    // Takes all the free space but `room` bytes with a filler file, allocated by fallocate.
    bool fillLeaving(qint64 room, const QString &fillerName = QStringLiteral("filler")) const
    {
        const qint64 take = freeBytes() - room;
        if (take <= 0)
            return take == 0;
        return run(QStringLiteral("fallocate"), {QStringLiteral("-l"), QString::number(take),
                                                 QDir(m_where).filePath(fillerName)});
    }

private:
    static bool run(const QString &program, const QStringList &arguments)
    {
        return QProcess::execute(program, arguments) == 0;
    }

    QString m_where;
    bool m_mounted = false;
};

} // namespace lumora::testing
