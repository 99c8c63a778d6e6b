#include "show/showplayer.h"

#include "picture/loadpicture.h"
#include "runtime/accessiblepicture.h"
#include "runtime/errortrap.h"
#include "runtime/form.h"
#include "runtime/handlerguard.h"
#include "show/showgeometry.h"
#include "show/toplevel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

namespace lumora::show {

using runtime::ErrorTrap;

namespace {

constexpr int kSubscriptOutOfRange = 9;
constexpr int vbKeyPageUp = 33;
constexpr int vbKeyPageDown = 34;
constexpr int vbKeyEscape = 27;

QRect screenGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 800, 600);
}

int classicKeyCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_PageUp:
        return vbKeyPageUp;
    case Qt::Key_PageDown:
        return vbKeyPageDown;
    default:
        return 0;
    }
}

} // namespace

ShowPlayer::ShowPlayer(runtime::MainHost &host, const ShowSettings &settings)
    : m_host(host), m_settings(settings), m_scale(runtime::screenScale()),
      m_picshow(new runtime::PictureBox(this, m_scale)), m_lblfile(new QLabel(this)),
      m_tmrtiepo(new runtime::Timer(this)), m_sequence(settings)
{
    setObjectName(QStringLiteral("frmshow"));
    // The window has no title to be read by: it is the show.
    setAccessibleName(QStringLiteral("Screen Show"));
    setWindowFlag(Qt::FramelessWindowHint);
    setAutoFillBackground(true);
    setGeometry(screenGeometry());

    m_picshow->setObjectName(QStringLiteral("picshow"));
    m_picshow->setBackColor(Qt::black);
    m_picshow->setBorderStyle(runtime::BorderStyle::Flat);
    m_picshow->setAutoSize(true);
    m_picshow->setFocusPolicy(Qt::StrongFocus);
    m_picshow->installEventFilter(this);

    // The path reads over any picture: green on black, above the picture box.
    m_lblfile->setObjectName(QStringLiteral("lblfile"));
    QPalette pal = m_lblfile->palette();
    pal.setColor(QPalette::WindowText, QColor::fromRgb(kLabelColor));
    pal.setColor(QPalette::Window, Qt::black);
    m_lblfile->setPalette(pal);
    m_lblfile->setAutoFillBackground(true);
    m_lblfile->setTextFormat(Qt::PlainText);
    m_lblfile->raise();
    m_lblfile->installEventFilter(this);

    connect(m_tmrtiepo, &runtime::Timer::fired, this, [this] { run(&ShowPlayer::tmrtiepo_Timer); });
}

ShowPlayer *ShowPlayer::Load(runtime::MainHost &host, const ShowSettings &settings)
{
    auto *player = new ShowPlayer(host, settings);
    endWithMainWindow(*player, host.mainWindow());
    player->setWindowFlag(Qt::FramelessWindowHint);
    player->run(&ShowPlayer::Form_Load);
    return player;
}

void ShowPlayer::Show()
{
    setGeometry(screenGeometry());
    showFullScreen();
    raise();
    activateWindow();
    m_picshow->setFocus();
}

void ShowPlayer::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_tmrtiepo->setEnabled(false);
    m_readAhead.clear();
    // The player goes later; its picture's memory goes now, for the picture the end of the
    // show opens.
    m_picshow->setPicture(picture::Picture());
    hide();
    deleteLater();
}

double ShowPlayer::ScaleWidth() const
{
    return m_scale.toTwips(width());
}
double ShowPlayer::ScaleHeight() const
{
    return m_scale.toTwips(height());
}
double ShowPlayer::ScreenWidth() const
{
    return m_scale.toTwips(screenGeometry().width());
}
double ShowPlayer::ScreenHeight() const
{
    return m_scale.toTwips(screenGeometry().height());
}

QString ShowPlayer::entry(int index) const
{
    if (index < 0 || index >= m_settings.ShowFiles.size())
        throw RuntimeError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return m_settings.ShowFiles.at(index);
}

// An autosized box is centred on the screen, so it shows only the middle of a picture larger
// than the screen; a box of a fixed size shows the picture's top left part, which is read whole.
QSize ShowPlayer::centreShown() const
{
    if (!m_picshow->AutoSize())
        return {};
    return centreOnScreen(screenGeometry().size(), m_picshow->pixelRatio());
}

picture::Picture ShowPlayer::loadEntry(int index)
{
    const QString path = entry(index);
    const QSize centre = centreShown();
    try {
        return m_readAhead.take(path, centre);
    } catch (const RuntimeError &error) {
        if (error.number() != errors::OutOfMemory)
            throw;
    }
    // The memory budget cannot hold the next picture next to the one on the screen, which is
    // hidden and about to be replaced: let go of it and read once more.
    m_picshow->setPicture(picture::Picture());
    return picture::LoadPicture(path, picture::LoadOptions{.centre = centre});
}

void ShowPlayer::run(void (ShowPlayer::*handler)())
{
    runtime::guard(m_host.dialogs(), [this, handler] { (this->*handler)(); });
    if (!m_unloaded)
        readAheadNext();
}

void ShowPlayer::readAheadNext()
{
    const int next = m_sequence.upcoming();
    if (next >= 0)
        m_readAhead.prefetch(m_settings.ShowFiles.at(next), centreShown());
}

void ShowPlayer::Form_Load()
{
    ErrorTrap trap;
    if (m_settings.ShowAuto == 1) {
        trap.run([&] { m_tmrtiepo->setEnabled(true); });
        trap.run([&] { m_tmrtiepo->setInterval(m_settings.ShowInterval); });
    }
    m_lblfile->move(m_scale.toPixels(100.0), m_scale.toPixels(100.0));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    m_picshow->setBackColor(Qt::black);
    repaint();
    m_sequence.rewind();
    m_picshow->hide();
    trap.run([&] { m_picshow->setPicture(loadEntry(0)); });
    if (trap.failed())
        return;
    trap.run([&] { m_lblfile->setText(entry(0)); });
    m_lblfile->adjustSize();
    runtime::describePicture(*m_picshow, m_lblfile->text(), *m_picshow);
    centreByInnerSize();
    m_picshow->show();
}

void ShowPlayer::centreByInnerSize()
{
    m_picshow->setLeft(centredTwips(ScreenWidth(), m_picshow->ScaleWidth()));
    m_picshow->setTop(centredTwips(ScreenHeight(), m_picshow->ScaleHeight()));
}

void ShowPlayer::centreByOuterSize()
{
    m_picshow->setLeft(centredTwips(ScreenWidth(), m_picshow->Width()));
    m_picshow->setTop(centredTwips(ScreenHeight(), m_picshow->Height()));
}

void ShowPlayer::showAt(const QString &path)
{
    m_lblfile->setText(path);
    m_lblfile->adjustSize();
}

void ShowPlayer::advance(ShowSequence::Trigger trigger)
{
    const ShowSequence::Step step = m_sequence.step(trigger);
    switch (step.action) {
    case ShowSequence::Action::Nothing:
        return;
    case ShowSequence::Action::EndAfterLast:
        endShow(step.index, ShowEnd::AfterLast);
        return;
    case ShowSequence::Action::Present:
        present(step.index, trigger);
        return;
    }
}

// Hides the box while the picture loads; a picture that fails leaves the screen black, the
// path on it and the hourglass up, and the show goes on with the next step.
void ShowPlayer::present(int index, ShowSequence::Trigger trigger)
{
    ErrorTrap trap;
    runtime::setMousePointer(*this, runtime::vbHourglass);
    m_picshow->hide();
    trap.run([&] { showAt(entry(index)); });
    trap.run([&] { m_picshow->setPicture(loadEntry(index)); });
    if (trap.failed())
        return;
    runtime::describePicture(*m_picshow, m_lblfile->text(), *m_picshow);
    if (trigger == ShowSequence::Trigger::Timer) {
        centreByOuterSize();
        applyScreenLimit();
    } else {
        centreByInnerSize();
    }
    m_picshow->show();
    runtime::setMousePointer(*this, runtime::vbArrow);
}

void ShowPlayer::applyScreenLimit()
{
    // A box larger than the screen keeps its centred position and is cut to the form; from
    // then on every picture of this show goes into a box of the form's size.
    if (m_picshow->Width() > ScaleWidth() || m_picshow->Height() > ScaleHeight()) {
        m_picshow->setAutoSize(false);
        m_picshow->setWidth(ScaleWidth());
        m_picshow->setHeight(ScaleHeight());
    }
}

void ShowPlayer::endShow(int index, ShowEnd how)
{
    Unload();
    // A place with no picture (Esc after Page Up on the first one) opens no window: the show
    // simply ends and the viewer is as it was.
    if (index < 0 || index >= m_settings.ShowFiles.size()) {
        m_host.mainWindow().activateWindow();
        return;
    }
    const QString path = m_settings.ShowFiles.at(index);
    m_host.mainWindow().activateWindow();
    openAtShowEnd(m_host, path, how);
}

void ShowPlayer::Form_Click()
{
    advance(ShowSequence::Trigger::Manual);
}
void ShowPlayer::picshow_Click()
{
    advance(ShowSequence::Trigger::Manual);
}

void ShowPlayer::Form_KeyDown(int keyCode)
{
    if (keyCode == vbKeyPageDown) {
        advance(ShowSequence::Trigger::Manual);
    } else if (keyCode == vbKeyPageUp) {
        m_sequence.pageUp();
        advance(ShowSequence::Trigger::Manual);
    }
}

void ShowPlayer::Form_KeyPress(int keyAscii)
{
    if (keyAscii == vbKeyEscape)
        endShow(m_sequence.index(), ShowEnd::Escape);
}

void ShowPlayer::tmrtiepo_Timer()
{
    advance(ShowSequence::Trigger::Timer);
}

void ShowPlayer::keyPressEvent(QKeyEvent *event)
{
    if (m_unloaded)
        return;
    if (const int code = classicKeyCode(event->key())) {
        runtime::guard(m_host.dialogs(), [&] { Form_KeyDown(code); });
    } else if (event->key() == Qt::Key_Escape) {
        runtime::guard(m_host.dialogs(), [&] { Form_KeyPress(vbKeyEscape); });
    } else {
        return;
    }
    if (!m_unloaded)
        readAheadNext();
}

void ShowPlayer::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        !m_unloaded)
        run(&ShowPlayer::Form_Click);
}

bool ShowPlayer::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick;
    if (watched == m_lblfile && mouse)
        return true; // the path takes clicks but does nothing with them
    if (watched == m_picshow && type == QEvent::MouseButtonRelease && !m_unloaded) {
        auto *release = static_cast<QMouseEvent *>(event);
        if (release->button() == Qt::LeftButton &&
            m_picshow->rect().contains(release->position().toPoint()))
            run(&ShowPlayer::picshow_Click);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ShowPlayer::closeEvent(QCloseEvent *event)
{
    // Closed from outside (the window manager): the show ends without opening a picture.
    Unload();
    event->accept();
}

} // namespace lumora::show
