#include "print/printqueue.h"

#include "platform/runtimeerror.h"

#include <cups/cups.h>

namespace lumora::print {

namespace {

[[noreturn]] void raise(const QString &text)
{
    throw platform::RuntimeError(platform::errors::PrinterError, text);
}

QString optionOf(const cups_dest_t &dest, const char *name)
{
    return QString::fromUtf8(cupsGetOption(name, dest.num_options, dest.options));
}

} // namespace

QueueState queueState(const QString &queue)
{
    const QByteArray name = queue.toUtf8();
    cups_dest_t *dest =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.isEmpty() ? nullptr : name.constData(), nullptr);
    if (!dest)
        return QueueState::Missing;
    // IPP printer-state 5 is "stopped".
    const bool stopped = optionOf(*dest, "printer-state") == QLatin1String("5");
    const bool rejecting = optionOf(*dest, "printer-is-accepting-jobs") == QLatin1String("false");
    cupsFreeDests(1, dest);
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
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
        raise(QStringLiteral("The printer refused the job: %1")
                  .arg(QString::fromUtf8(cupsLastErrorString())));
}

} // namespace lumora::print
