#include "about/aboutcommands.h"

#include "about/aboutdialog.h"
#include "about/systemregistry.h"

namespace lumora::about {

void AboutCommands::showAbout()
{
    // The registry is asked afresh at every opening, so a tool installed meanwhile is found.
    const std::unique_ptr<Registry> registry = systemRegistry(executableSearchPath());
    AboutDialog frmAbout(m_host.dialogs(), *registry, openWithDesktop, &m_host.mainWindow());
    frmAbout.exec();
}

} // namespace lumora::about
