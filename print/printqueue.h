#pragma once

#include <QString>

namespace lumora::print {

// What the print system says about a queue before a job is sent to it.
enum class QueueState {
    Ready,     // exists, enabled and accepting jobs
    Missing,   // no such queue, or no print system at all
    Stopped,   // disabled: a job would wait in it until someone enables it again
    Rejecting, // refuses new jobs
};

// Asks the print system about `queue` (the default queue when empty). Answers within the
// print system's connection timeout, even when the server is gone.
QueueState queueState(const QString &queue);

// Throws a printer run-time error unless `queue` can take a job now.
void requireReadyQueue(const QString &queue);

// Throws a printer run-time error when the print system refused the last job handed to it
// on this thread (Qt submits the document when the painter ends and keeps the answer to
// itself, so we read it back from the print system's client library).
void requireLastSubmissionAccepted();

} // namespace lumora::print
