#pragma once

#include "platform/mainhost.h"

namespace lumora::image {

// Zoom, copy, wallpaper and save on the active image window.
void mnueditzoomin_Click(platform::MainHost &host);
void mnueditzoomout_Click(platform::MainHost &host);
void mnueditcopy_Click(platform::MainHost &host);
void mnueditwall_Click(platform::MainHost &host);
void mnufilesaveas_Click(platform::MainHost &host);

} // namespace lumora::image
