#include "show/showcommands.h"

#include "show/screendialog.h"

#include <QPointer>

namespace lumora::show {

void mnufileopenmulti_Click(runtime::MainHost &host)
{
    static QPointer<ScreenDialog> frmscreen;
    if (!frmscreen || frmscreen->isUnloaded())
        frmscreen = ScreenDialog::Load(host, processShowSettings());
    frmscreen->Show();
}

} // namespace lumora::show
