#include "app/commandline.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QUrl>

#include <cstdio>

namespace lumora::app {

QString localPathOf(const QString &argument, const QDir &current)
{
    // A scheme followed by "//": what file managers and browsers pass. A plain file name may
    // hold a colon, so nothing less counts as a URI.
    static const QRegularExpression uri(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (uri.match(argument).hasMatch()) {
        const QUrl url(argument);
        return url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : QString();
    }
    if (argument.startsWith(QLatin1String("file:")))
        return QDir::cleanPath(QUrl(argument).toLocalFile());
    return QDir::cleanPath(current.absoluteFilePath(argument));
}

bool asksForHelpOrVersion(const QStringList &arguments)
{
    static const QStringList options = {"-h", "--help", "-?", "--help-all", "-v", "--version"};
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false;
        if (options.contains(argument))
            return true;
    }
    return false;
}

QStringList parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Views JPEG, GIF, BMP and WMF pictures, each in its own window."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Pictures to open: paths or file:// URIs."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    QStringList paths;
    const QDir current = QDir::current();
    for (const QString &argument : parser.positionalArguments()) {
        const QString path = localPathOf(argument, current);
        if (path.isEmpty())
            std::fprintf(stderr, "lumora: not a local file, left out: %s\n", qPrintable(argument));
        else
            paths << path;
    }
    return paths;
}

} // namespace lumora::app
