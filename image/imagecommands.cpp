#include "image/imagecommands.h"

namespace lumora::image {

void mnueditzoomin_Click(platform::MainHost &) {}
void mnueditzoomout_Click(platform::MainHost &) {}
void mnueditcopy_Click(platform::MainHost &) {}
void mnueditwall_Click(platform::MainHost &) {}
void mnufilesaveas_Click(platform::MainHost &) {}

} // namespace lumora::image
