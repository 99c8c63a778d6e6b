#include "app/splash.h"

#include "picture/loadpicture.h"
#include "runtime/formart.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace lumora::app {

namespace {

runtime::ArtFile splashArt()
{
    return runtime::artFile(QStringLiteral(":/assets/splash.jpg"));
}

picture::Picture splashPicture()
{
    QFile file(splashArt().path);
    if (!file.open(QIODevice::ReadOnly))
        return picture::Picture();
    return picture::decodePicture(file.readAll());
}

} // namespace

// Left alone by the window manager: some (a Wayland compositor's, for XWayland windows) place
// the windows they manage themselves, and the splash is centred by the program.
Splash::Splash(std::function<void()> showMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
      m_showMainWindow(std::move(showMainWindow)),
      // The box's pixels are the art's, so that the splash keeps its size on the form.
      m_picsplash(new runtime::PictureBox(this, runtime::screenScale(), splashArt().pixelRatio))
{
    setObjectName(QStringLiteral("frmsplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    const TwipScale &scale = m_picsplash->scale();
    setFixedSize(scale.toPixels(4575, 3090));
    m_picsplash->setObjectName(QStringLiteral("picsplash"));
    m_picsplash->setBorderStyle(runtime::BorderStyle::Sunken);
    m_picsplash->setAutoSize(true);
    m_picsplash->setPicture(splashPicture());
    m_timer1.setInterval(1000);
    m_timer1.setEnabled(true);
    connect(&m_timer1, &runtime::Timer::fired, this, &Splash::Timer1_Timer);
    centreOnScreen();
}

void Splash::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void Splash::showEvent(QShowEvent *event)
{
    // The second is counted from when the splash goes up, not from when it was built: the
    // main window then follows the splash on the screen by the full interval.
    if (!event->spontaneous())
        m_timer1.setEnabled(true);
    QWidget::showEvent(event);
}

void Splash::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!m_whenOnScreen)
        return;
    // Queued, so that the picture reaches the screen before the work starts.
    QTimer::singleShot(0, this, std::exchange(m_whenOnScreen, nullptr));
}

void Splash::Timer1_Timer()
{
    m_timer1.setEnabled(false);
    m_showMainWindow();
    close();
}

} // namespace lumora::app
