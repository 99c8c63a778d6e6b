#include "image/imagecommands.h"

#include "image/clipboardcopy.h"
#include "image/saveas.h"
#include "image/wallpaper.h"
#include "image/zoom.h"

namespace lumora::image {

void mnueditzoomin_Click(platform::MainHost &host)
{
    zoomActiveWindow(host, ZoomDirection::In);
}

void mnueditzoomout_Click(platform::MainHost &host)
{
    zoomActiveWindow(host, ZoomDirection::Out);
}

void mnueditcopy_Click(platform::MainHost &host)
{
    copyActivePicture(host);
}

void mnueditwall_Click(platform::MainHost &host)
{
    setActivePictureAsWallpaper(host, DesktopFacts::current());
}

void mnufilesaveas_Click(platform::MainHost &host)
{
    saveActivePictureAs(host);
}

} // namespace lumora::image
