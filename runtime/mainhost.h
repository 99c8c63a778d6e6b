#pragma once

#include "runtime/commondialog.h"
#include "runtime/dialogs.h"
#include "runtime/statuspanels.h"

class QMdiArea;
class QMenu;
class QWidget;

namespace lumora::runtime {

// What the commands of the subsystems need of the main window: its child windows, its status
// bar, its common dialog and its Edit menu. The main window implements it. Services only: each
// subsystem keeps its own state in the object the main window builds for it.
class MainHost {
public:
    virtual ~MainHost() = default;

    virtual QWidget &mainWindow() = 0;
    virtual QMdiArea &mdiArea() = 0;
    // The client widget of the active child window, or nullptr when none is.
    virtual QWidget *ActiveForm() const = 0;
    virtual StatusPanels &StatBar() = 0;
    virtual Dialogs &dialogs() = 0;
    virtual CommonDialog &dlgcomondialog() = 0;
    virtual QMenu &mnuedit() = 0;
};

} // namespace lumora::runtime
