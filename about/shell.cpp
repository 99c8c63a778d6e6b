#include "about/shell.h"

#include "base/runtimeerror.h"

#include <QFileInfo>
#include <QProcess>

namespace lumora::about {

void Shell(const QString &commandLine)
{
    // The system would cut a command line at a zero character and start whatever the part
    // before it names; we refuse it instead.
    QStringList arguments =
        commandLine.contains(QChar(0)) ? QStringList() : QProcess::splitCommand(commandLine);
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    if (program.isEmpty() || !QProcess::startDetached(program, arguments))
        throw RuntimeError(errors::FileNotFound, QStringLiteral("File not found"));
}

QString quoteProgram(const QString &path)
{
    if (!path.isEmpty() && !path.contains(QLatin1Char(' ')) && !path.contains(QLatin1Char('"')) &&
        !path.contains(QLatin1Char('\t')) && !path.contains(QLatin1Char('\n')))
        return path;
    // Inside quotes a literal quote is written as three.
    QString quoted = path;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Dir(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() ? info.fileName() : QString();
}

} // namespace lumora::about
