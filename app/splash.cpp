#include "app/splash.h"

#include "platform/loadpicture.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>

namespace lumora::app {

namespace {

platform::Picture splashPicture()
{
    QFile file(QStringLiteral(":/assets/splash.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return platform::Picture();
    return platform::decodePicture(file.readAll());
}

} // namespace

Splash::Splash(std::function<void()> showMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_showMainWindow(std::move(showMainWindow)), m_picsplash(new platform::PictureBox(this))
{
    setObjectName(QStringLiteral("frmsplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    const platform::TwipScale &scale = m_picsplash->scale();
    setFixedSize(scale.toPixels(4575, 3090));
    m_picsplash->setObjectName(QStringLiteral("picsplash"));
    m_picsplash->setBorderStyle(platform::BorderStyle::Sunken);
    m_picsplash->setAutoSize(true);
    m_picsplash->setPicture(splashPicture());
    m_timer1.setInterval(1000);
    m_timer1.setEnabled(true);
    connect(&m_timer1, &platform::Timer::fired, this, &Splash::Timer1_Timer);
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

void Splash::Timer1_Timer()
{
    m_timer1.setEnabled(false);
    m_showMainWindow();
    close();
}

} // namespace lumora::app
