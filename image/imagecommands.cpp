#include "image/imagecommands.h"

#include "image/clipboardcopy.h"
#include "image/fileopen.h"
#include "image/saveas.h"
#include "image/wallpaper.h"
#include "image/zoom.h"

namespace lumora::image {

void ImageCommands::open()
{
    openChosenPicture(m_host);
}

void ImageCommands::saveAs()
{
    saveActivePictureAs(m_host);
}

void ImageCommands::copy()
{
    copyActivePicture(m_host);
}

void ImageCommands::setAsWallpaper()
{
    setActivePictureAsWallpaper(m_host, DesktopFacts::current());
}

void ImageCommands::zoomIn()
{
    zoomActiveWindow(m_host, ZoomDirection::In);
}

void ImageCommands::zoomOut()
{
    zoomActiveWindow(m_host, ZoomDirection::Out);
}

} // namespace lumora::image
