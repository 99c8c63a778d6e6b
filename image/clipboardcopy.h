#pragma once

#include "runtime/mainhost.h"

namespace lumora::image {

// Puts the active window's drawn picture on the system clipboard as a bitmap, after emptying
// it. Every failure is silent: the clipboard then stays empty.
void copyActivePicture(runtime::MainHost &host);

} // namespace lumora::image
