#include "about/aboutcommands.h"

#include "about/aboutdialog.h"
#include "about/systemregistry.h"

namespace lumora::about {

void mnuhelpabout_Click(runtime::MainHost &host)
{
    // The registry is asked afresh at every opening, so a tool installed meanwhile is found.
    const std::unique_ptr<Registry> registry = systemRegistry(executableSearchPath());
    AboutDialog frmAbout(host.dialogs(), *registry, openWithDesktop, &host.mainWindow());
    frmAbout.exec();
}

} // namespace lumora::about
