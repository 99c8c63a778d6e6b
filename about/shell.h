#pragma once

#include <QString>

namespace lumora::about {

// Starts a program detached from us. `commandLine` is the program's path followed by its
// arguments, split at blanks outside double quotes; nothing is interpreted by a shell.
// Raises a run-time error (file not found) when the program cannot be started.
void Shell(const QString &commandLine);

// A command line for Shell that starts exactly the program at `path`, however it is spelt.
QString quoteProgram(const QString &path);

// The file name of `path` when it names an existing file (not a folder), otherwise "".
QString Dir(const QString &path);

} // namespace lumora::about
