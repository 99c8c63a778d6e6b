#pragma once

#include "runtime/mainhost.h"

namespace lumora::image {

// The image subsystem's commands: File Open, and zoom, copy, wallpaper and Save As on the
// active image window. The main window owns the one instance.
class ImageCommands final {
public:
    explicit ImageCommands(runtime::MainHost &host) : m_host(host) {}

    void open();
    void saveAs();
    void copy();
    void setAsWallpaper();
    void zoomIn();
    void zoomOut();

private:
    runtime::MainHost &m_host;
};

} // namespace lumora::image
