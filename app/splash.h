#pragma once

#include "platform/picturebox.h"
#include "platform/timer.h"

#include <QWidget>
#include <functional>

namespace lumora::app {

// `frmsplash`: a borderless window centred on the screen for one second; its timer shows
// the main window and unloads the splash for good.
class Splash final : public QWidget {
    Q_OBJECT
public:
    explicit Splash(std::function<void()> showMainWindow, QWidget *parent = nullptr);

    platform::PictureBox &picsplash() { return *m_picsplash; }
    platform::Timer &Timer1() { return m_timer1; }
    void Timer1_Timer();
    void centreOnScreen();

private:
    std::function<void()> m_showMainWindow;
    platform::PictureBox *m_picsplash;
    platform::Timer m_timer1;
};

} // namespace lumora::app
