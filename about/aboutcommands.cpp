#include "about/aboutcommands.h"

namespace lumora::about {

void mnuhelpabout_Click(platform::MainHost &) {}

} // namespace lumora::about
