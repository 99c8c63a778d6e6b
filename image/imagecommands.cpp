#include "image/imagecommands.h"

#include "image/clipboardcopy.h"
#include "image/saveas.h"
#include "image/wallpaper.h"
#include "image/zoom.h"

namespace lumora::image {

void mnueditzoomin_Click(runtime::MainHost &host)
{
    zoomActiveWindow(host, ZoomDirection::In);
}

void mnueditzoomout_Click(runtime::MainHost &host)
{
    zoomActiveWindow(host, ZoomDirection::Out);
}

void mnueditcopy_Click(runtime::MainHost &host)
{
    copyActivePicture(host);
}

void mnueditwall_Click(runtime::MainHost &host)
{
    setActivePictureAsWallpaper(host, DesktopFacts::current());
}

void mnufilesaveas_Click(runtime::MainHost &host)
{
    saveActivePictureAs(host);
}

} // namespace lumora::image
