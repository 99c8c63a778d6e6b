#pragma once

#include "image/imagewindow.h"
#include "runtime/mainhost.h"

namespace lumora::image {

// The first step of every command on the active picture. Returns the active image window;
// with no active child window it shows "No active Windows" and returns nullptr. When the
// active child is another kind of window (the print preview) there is no picture to act on:
// the same message is shown and nullptr returned, so no command ever acts on that window.
ImageWindow *activeImageWindowOrReport(runtime::MainHost &host);

// Only the classic check: false (after the message) when the main window has no active child.
// An image window whose picture is still arriving is waited for first.
bool passesNoActiveWindowCheck(runtime::MainHost &host);

} // namespace lumora::image
