#pragma once

#include <QDir>
#include <QStringList>

namespace lumora::app {

// The pictures named on the command line, as absolute local paths in the order given.
// `--help` and `--version` print their answer on standard output and end the process, as
// QCommandLineParser does.
QStringList parseCommandLine(const QStringList &arguments);

// True when the arguments (program name first) ask for --help or --version, which are
// answered without opening a display.
bool asksForHelpOrVersion(const QStringList &arguments);

// One argument as a local path: a file:// URI becomes its file, a plain path is taken from
// `current`. Any other URI ("https://...") is no local file and gives "".
QString localPathOf(const QString &argument, const QDir &current);

} // namespace lumora::app
