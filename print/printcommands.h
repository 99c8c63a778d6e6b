#pragma once

#include "runtime/mainhost.h"

namespace lumora::print {

void mnufileprint_Click(runtime::MainHost &host);
void mnufileselprint_Click(runtime::MainHost &host);
void mnufilepp_Click(runtime::MainHost &host);

} // namespace lumora::print
