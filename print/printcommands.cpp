#include "print/printcommands.h"

namespace lumora::print {

void mnufileprint_Click(platform::MainHost &) {}
void mnufileselprint_Click(platform::MainHost &) {}
void mnufilepp_Click(platform::MainHost &) {}

} // namespace lumora::print
