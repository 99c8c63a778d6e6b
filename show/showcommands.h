#pragma once

#include "runtime/mainhost.h"
#include "show/lumoramodule.h"

#include <QPointer>

namespace lumora::show {

class ScreenDialog;
class ShowPlayer;

// The screen show's command and what it keeps while the main window lives: the show
// settings, the one set-up dialog and the running player. The main window owns the one
// instance.
class ShowCommands final {
public:
    explicit ShowCommands(runtime::MainHost &host) : m_host(host) {}
    ~ShowCommands();
    ShowCommands(const ShowCommands &) = delete;
    ShowCommands &operator=(const ShowCommands &) = delete;

    // File > Screen Show: shows the set-up dialog, bringing the open one to the front.
    void openSetUp();
    // Loads a fresh player on the settings as they stand (running its load step) and shows
    // it; a player still running is closed first.
    ShowPlayer *startShow();

    ShowSettings &settings() { return m_settings; }
    // The running player, or nullptr.
    ShowPlayer *player() const;

private:
    runtime::MainHost &m_host;
    ShowSettings m_settings;
    QPointer<ScreenDialog> m_dialog;
    QPointer<ShowPlayer> m_player;
};

} // namespace lumora::show
