#pragma once

#include "platform/mainhost.h"

namespace lumora::image {

// Asks for a file name and writes the active window's drawn picture there as a BMP file,
// under exactly the name typed.
void saveActivePictureAs(platform::MainHost &host);

} // namespace lumora::image
