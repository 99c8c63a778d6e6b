#include "show/showcommands.h"

#include "show/screendialog.h"
#include "show/showplayer.h"

namespace lumora::show {

ShowCommands::~ShowCommands()
{
    // Both are windows of their own that go with the main window; they go first, while the
    // settings they were handed still exist.
    delete m_player.data();
    delete m_dialog.data();
}

void ShowCommands::openSetUp()
{
    if (!m_dialog || m_dialog->isUnloaded()) {
        ScreenDialog *dialog = ScreenDialog::Load(m_host, m_settings);
        QObject::connect(dialog, &ScreenDialog::showBegun, dialog, [this] { startShow(); });
        m_dialog = dialog;
    }
    m_dialog->Show();
}

ShowPlayer *ShowCommands::startShow()
{
    if (ShowPlayer *old = player())
        old->Unload();
    m_player = ShowPlayer::Load(m_host, m_settings);
    m_player->Show();
    return m_player;
}

ShowPlayer *ShowCommands::player() const
{
    return m_player && !m_player->isUnloaded() ? m_player.data() : nullptr;
}

} // namespace lumora::show
