#include "show/showcommands.h"

namespace lumora::show {

void mnufileopenmulti_Click(platform::MainHost &) {}

} // namespace lumora::show
