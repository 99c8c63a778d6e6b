#include "bench/peers.h"

#include <QProcess>
#include <QStandardPaths>
#include <cstdio>

namespace lumora::bench {

QString imageMagick()
{
    const QString real = QStandardPaths::findExecutable(QStringLiteral("convert-im6.q16"));
    return real.isEmpty() ? QStringLiteral("convert") : real;
}

bool runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "failed: %s %s\n", qPrintable(program),
                     qPrintable(arguments.join(QLatin1Char(' '))));
        return false;
    }
    return true;
}

} // namespace lumora::bench
