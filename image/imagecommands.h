#pragma once

#include "runtime/mainhost.h"

namespace lumora::image {

// Zoom, copy, wallpaper and save on the active image window.
void mnueditzoomin_Click(runtime::MainHost &host);
void mnueditzoomout_Click(runtime::MainHost &host);
void mnueditcopy_Click(runtime::MainHost &host);
void mnueditwall_Click(runtime::MainHost &host);
void mnufilesaveas_Click(runtime::MainHost &host);

} // namespace lumora::image
