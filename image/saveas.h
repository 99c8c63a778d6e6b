#pragma once

#include "runtime/mainhost.h"

namespace lumora::image {

// Asks for a file name and writes the active window's drawn picture there as a BMP file,
// under exactly the name typed.
void saveActivePictureAs(runtime::MainHost &host);

} // namespace lumora::image
