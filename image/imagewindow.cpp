#include "image/imagewindow.h"

#include "image/pictureload.h"
#include "runtime/handlerguard.h"

#include <QGuiApplication>

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>

namespace lumora::image {

using runtime::BorderStyle;
using runtime::PictureBox;

ImageWindow::ImageWindow(runtime::MainHost &host)
    : m_host(host), m_picdibujo(new PictureBox(this)), m_pictrans(new PictureBox(this))
{
    setObjectName(QStringLiteral("frmpicture"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kBackColor));
    setPalette(pal);

    m_picdibujo->setObjectName(QStringLiteral("picdibujo"));
    m_picdibujo->setBackColor(QColor::fromRgb(kBackColor));
    m_picdibujo->Move(0, 0, 1485, 1380);
    m_picdibujo->installEventFilter(this);

    m_pictrans->setObjectName(QStringLiteral("pictrans"));
    m_pictrans->setBorderStyle(BorderStyle::Flat);
    restorePictrans();
    m_pictrans->setAutoSize(true);
    m_pictrans->hide();
}

ImageWindow::~ImageWindow() = default;

void ImageWindow::restorePictrans()
{
    m_pictrans->setPicture(picture::Picture());
    m_pictrans->Move(75, 1725, 1695, 1455);
}

void ImageWindow::receive(std::unique_ptr<PictureLoad> load, LoadEnd end)
{
    m_load = std::move(load);
    m_loadEnd = std::move(end);
    m_picdibujo->showArriving(&m_load->arrival());
    connect(m_load.get(), &PictureLoad::rowsArrived, m_picdibujo, &PictureBox::rowsArrived);
    connect(m_load.get(), &PictureLoad::finished, this, &ImageWindow::endLoad);
}

void ImageWindow::waitForPicture()
{
    if (!m_load)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    endLoad();
    QGuiApplication::restoreOverrideCursor();
}

// The read stays alive until its end has been handled, so nothing is read from it after.
void ImageWindow::endLoad()
{
    if (!m_load)
        return;
    std::unique_ptr<PictureLoad> load = std::move(m_load);
    m_picdibujo->stopArriving();
    runtime::guard(m_host.dialogs(), [&] { m_loadEnd(*this, *load); });
    m_loadEnd = nullptr;
}

ImageWindow *ImageWindow::Load(runtime::MainHost &host)
{
    auto *form = new ImageWindow(host);
    const TwipScale &scale = form->m_picdibujo->scale();
    form->resize(scale.toPixels(5505, 4125));
    QMdiSubWindow *frame = host.mdiArea().addSubWindow(form);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->hide();
    // The frame takes its client's design size now; it would only do so when first shown.
    frame->resize(form->size().grownBy(frame->contentsMargins()));
    form->m_frame = frame;
    QObject::connect(
        &host.mdiArea(), &QMdiArea::subWindowActivated, form, [form](QMdiSubWindow *active) {
            if (active == form->m_frame)
                runtime::guard(form->m_host.dialogs(), [form] { form->Form_Activate(); });
        });
    return form;
}

QString ImageWindow::Caption() const
{
    return m_frame->windowTitle();
}

void ImageWindow::setCaption(const QString &caption)
{
    m_frame->setWindowTitle(caption);
    setWindowTitle(caption);
}

void ImageWindow::Show()
{
    m_frame->show();
    m_host.mdiArea().setActiveSubWindow(m_frame);
}

void ImageWindow::Form_Activate()
{
    m_host.StatBar().setText(2, Caption());
    m_host.StatBar().Refresh();
}

void ImageWindow::Form_Unload()
{
    m_host.StatBar().setText(2, QString());
}

void ImageWindow::picdibujo_MouseDown(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button == Qt::RightButton)
        m_host.mnuedit().popup(globalPos);
}

void ImageWindow::closeEvent(QCloseEvent *event)
{
    // A picture still arriving stops now, not when the window is deleted later.
    m_picdibujo->stopArriving();
    m_load.reset();
    if (!m_unloaded) {
        m_unloaded = true;
        runtime::guard(m_host.dialogs(), [this] { Form_Unload(); });
    }
    event->accept();
}

bool ImageWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picdibujo && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        runtime::guard(m_host.dialogs(), [&] {
            picdibujo_MouseDown(mouse->button(), mouse->globalPosition().toPoint());
        });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

ImageWindow *asImageWindow(QWidget *form)
{
    return qobject_cast<ImageWindow *>(form);
}

} // namespace lumora::image
