#pragma once

#include <QWidget>

namespace lumora::show {

// Makes `window` a top-level window of its own that ends with the main window: it goes when
// the main window closes or is destroyed, without running its unload handlers.
void endWithMainWindow(QWidget &window, QWidget &mainWindow);

} // namespace lumora::show
