#pragma once

#include <QString>

namespace lumora::runtime {

// The running program's identity and folder.
struct App {
    static constexpr int Major = 1;
    static constexpr int Minor = 5;
    static constexpr int Revision = 6;
    static QString Title() { return QStringLiteral("Lumora"); }
    // The folder of the program's read-only files (lumora.hlp): the executable's folder in a
    // build tree, <prefix>/share/lumora once installed. No trailing "/" except at the root.
    static QString Path();
    // The per-user folder the program may write to (the wallpaper file); created on demand.
    static QString DataPath();
};

// Joins a folder and a name with exactly one "/".
QString joinPath(const QString &folder, const QString &name);

} // namespace lumora::runtime
