#pragma once

#include "runtime/dialogs.h"

#include <functional>

namespace lumora::runtime {

// Every event handler is entered through here: a run-time error that the handler did not
// trap ends that handler, is reported in a message box, and the program goes on. Nothing
// thrown ever crosses the event loop.
void guard(Dialogs &dialogs, const std::function<void()> &handler);

} // namespace lumora::runtime
