#pragma once

#include "runtime/mainhost.h"

namespace lumora::about {

// Help > About...: shows the About box modally.
void mnuhelpabout_Click(runtime::MainHost &host);

} // namespace lumora::about
