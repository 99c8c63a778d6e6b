#pragma once

#include "runtime/picturebox.h"
#include "runtime/timer.h"

#include <QWidget>
#include <functional>

namespace lumora::app {

// `frmsplash`: a borderless window centred on the screen for one second; its timer shows
// the main window and unloads the splash for good.
class Splash final : public QWidget {
    Q_OBJECT
public:
    explicit Splash(std::function<void()> showMainWindow, QWidget *parent = nullptr);

    // Runs once, just after the splash has first been painted: the idle part of its second.
    void whenOnScreen(std::function<void()> work) { m_whenOnScreen = std::move(work); }

    runtime::PictureBox &picsplash() { return *m_picsplash; }
    runtime::Timer &Timer1() { return m_timer1; }
    void Timer1_Timer();
    void centreOnScreen();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    std::function<void()> m_showMainWindow;
    std::function<void()> m_whenOnScreen;
    runtime::PictureBox *m_picsplash;
    runtime::Timer m_timer1;
};

} // namespace lumora::app
