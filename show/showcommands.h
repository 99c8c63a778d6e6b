#pragma once

#include "runtime/mainhost.h"

namespace lumora::show {

// File > Screen Show: shows the set-up dialog, bringing the open one to the front.
void mnufileopenmulti_Click(runtime::MainHost &host);

} // namespace lumora::show
