#pragma once

#include "platform/mainhost.h"

namespace lumora::print {

void mnufileprint_Click(platform::MainHost &host);
void mnufileselprint_Click(platform::MainHost &host);
void mnufilepp_Click(platform::MainHost &host);

} // namespace lumora::print
