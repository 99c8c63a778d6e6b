#pragma once

#include "image/wallpaperbackends.h"
#include "runtime/mainhost.h"

namespace lumora::image {

// The one wallpaper file, replaced by every wallpaper command: "visor.bmp" in the per-user
// data folder (the program's own folder is read-only once installed).
QString wallpaperFilePath();

// Writes the active window's drawn picture to the wallpaper file and makes it the desktop
// wallpaper, with the hourglass over the window meanwhile.
void setActivePictureAsWallpaper(runtime::MainHost &host, const DesktopFacts &facts);

} // namespace lumora::image
