#pragma once

#include "runtime/mainhost.h"

namespace lumora::about {

// The About subsystem's command. It keeps nothing between openings: the box starts in its
// designed state and asks the registry afresh each time.
class AboutCommands final {
public:
    explicit AboutCommands(runtime::MainHost &host) : m_host(host) {}

    // Help > About...: shows the About box modally.
    void showAbout();

private:
    runtime::MainHost &m_host;
};

} // namespace lumora::about
