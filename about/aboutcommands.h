#pragma once

#include "platform/mainhost.h"

namespace lumora::about {

// Help > About...: shows the About box modally.
void mnuhelpabout_Click(platform::MainHost &host);

} // namespace lumora::about
