#pragma once

namespace lumora::app {

// In a Wayland session with XWayland at hand, makes the application about to be built run
// through XWayland, unless the user has chosen a platform (QT_QPA_PLATFORM, -platform).
// Lumora centres its splash and places its image windows itself; Wayland leaves the places
// of windows to the compositor, so a Wayland client's windows would land where it chooses.
// Returns whether it chose; call leavePlatformChoice() once the application is built.
bool preferXWayland();

// Takes the choice back out of the environment, so programs Lumora starts (the mail client,
// the system-information tool) run on the platform the session gives them.
void leavePlatformChoice();

} // namespace lumora::app
