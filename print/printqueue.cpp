#include "print/printqueue.h"

#include "base/runtimeerror.h"

#include <QLibrary>
#include <cups/cups.h>

namespace lumora::print {

namespace {

// libcups is loaded when a print first asks for a queue, not when the program starts: it
// brings some twenty libraries (TLS, Kerberos, service discovery) whose loading held up the
// splash. It is the same library Qt's own printing loads, so its last error is shared.
struct CupsCalls {
    decltype(&cupsGetNamedDest) getNamedDest;
    decltype(&cupsGetOption) getOption;
    decltype(&cupsFreeDests) freeDests;
    decltype(&cupsLastError) lastError;
    decltype(&cupsLastErrorString) lastErrorString;

    bool loaded() const
    {
        return getNamedDest && getOption && freeDests && lastError && lastErrorString;
    }
};

template <typename Function> Function symbol(QLibrary &library, const char *name)
{
    return reinterpret_cast<Function>(library.resolve(name));
}

const CupsCalls &cups()
{
    static const CupsCalls calls = [] {
        CupsCalls found{}; // every call null until resolved
        QLibrary library(QStringLiteral("cups"), 2);
        if (!library.load())
            return found;
        found.getNamedDest = symbol<decltype(found.getNamedDest)>(library, "cupsGetNamedDest");
        found.getOption = symbol<decltype(found.getOption)>(library, "cupsGetOption");
        found.freeDests = symbol<decltype(found.freeDests)>(library, "cupsFreeDests");
        found.lastError = symbol<decltype(found.lastError)>(library, "cupsLastError");
        found.lastErrorString =
            symbol<decltype(found.lastErrorString)>(library, "cupsLastErrorString");
        return found;
    }();
    return calls;
}

[[noreturn]] void raise(const QString &text)
{
    throw RuntimeError(errors::PrinterError, text);
}

QString optionOf(const cups_dest_t &dest, const char *name)
{
    return QString::fromUtf8(cups().getOption(name, dest.num_options, dest.options));
}

} // namespace

QueueState queueState(const QString &queue)
{
    if (!cups().loaded())
        return QueueState::Missing; // without libcups there is no printing system to ask
    const QByteArray name = queue.toUtf8();
    cups_dest_t *dest = cups().getNamedDest(CUPS_HTTP_DEFAULT,
                                            queue.isEmpty() ? nullptr : name.constData(), nullptr);
    if (!dest)
        return QueueState::Missing;
    // IPP printer-state 5 is "stopped".
    const bool stopped = optionOf(*dest, "printer-state") == QLatin1String("5");
    const bool rejecting = optionOf(*dest, "printer-is-accepting-jobs") == QLatin1String("false");
    cups().freeDests(1, dest);
    if (stopped)
        return QueueState::Stopped;
    return rejecting ? QueueState::Rejecting : QueueState::Ready;
}

void requireReadyQueue(const QString &queue)
{
    switch (queueState(queue)) {
    case QueueState::Ready:
        return;
    case QueueState::Missing:
        raise(QStringLiteral("No printer is available"));
    case QueueState::Stopped:
        raise(QStringLiteral("The printer %1 is stopped").arg(queue));
    case QueueState::Rejecting:
        raise(QStringLiteral("The printer %1 does not accept jobs").arg(queue));
    }
}

void requireLastSubmissionAccepted()
{
    if (cups().loaded() && cups().lastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
        raise(QStringLiteral("The printer refused the job: %1")
                  .arg(QString::fromUtf8(cups().lastErrorString())));
}

} // namespace lumora::print
