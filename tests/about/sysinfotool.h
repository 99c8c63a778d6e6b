#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace lumora::testing {

// Writes an executable script at `path` that records its arguments, one a line, in `marker`:
// a real program for the About box to start.
inline bool writeRecordingTool(const QString &path, const QString &marker)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray script = "#!/bin/sh\nprintf 'ran\\n' > '" + QFile::encodeName(marker) +
                              ".part'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                              QFile::encodeName(marker) + ".part'; done\n/bin/mv '" +
                              QFile::encodeName(marker) + ".part' '" + QFile::encodeName(marker) +
                              "'\n";
    file.write(script);
    file.close();
    return file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup |
                               QFile::ExeOther);
}

// The lines the tool recorded: "ran", then its arguments.
inline QStringList recordedRun(const QString &marker)
{
    QFile file(marker);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace lumora::testing
