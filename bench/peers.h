#pragma once

#include <QString>
#include <QStringList>

namespace lumora::bench {

// ImageMagick's own convert, not a wrapper that may stand in front of it on PATH.
QString imageMagick();

// Runs a reference program to its end; false (and a line on stderr) when it fails.
bool runProgram(const QString &program, const QStringList &arguments);

} // namespace lumora::bench
