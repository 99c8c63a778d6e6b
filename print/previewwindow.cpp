#include "print/previewwindow.h"

#include "print/printlayout.h"
#include "runtime/errortrap.h"
#include "runtime/form.h"
#include "runtime/handlerguard.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>

namespace lumora::print {

using runtime::BorderStyle;
using runtime::PictureBox;

namespace {

// The design of the window, in twips.
constexpr double kClientWidth = 6300;
constexpr double kClientHeight = 5355;
constexpr double kButtonTop = 75;
constexpr double kButtonWidth = 1170;
constexpr double kButtonHeight = 345;
constexpr QRectF kSheet(1560, 600, 3135, 4095);
constexpr double kShadowOffset = 120;

void fill(QWidget &widget, QRgb color)
{
    widget.setAutoFillBackground(true);
    QPalette pal = widget.palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(color));
    widget.setPalette(pal);
}

} // namespace

PreviewWindow::PreviewWindow(runtime::MainHost &host)
    : m_host(host), m_scale(runtime::screenScale()),
      m_cmdzoomout(makeButton(QStringLiteral("cmdzoomout"), QStringLiteral("Zoom Out"), 1170,
                              &PreviewWindow::cmdzoomout_Click)),
      m_cmdzoom(makeButton(QStringLiteral("cmdzoom"), QStringLiteral("Zoom In"), 2625,
                           &PreviewWindow::cmdzoom_Click)),
      m_cmdclose(makeButton(QStringLiteral("cmdclose"), QStringLiteral("Close"), 4095,
                            &PreviewWindow::cmdclose_Click)),
      m_sombra(new QWidget(this)), m_pichoja(new PictureBox(this, m_scale)),
      m_pictemp(new PictureBox(this, m_scale)), m_statusBar(new QStatusBar(this))
{
    setObjectName(QStringLiteral("frmpreview"));
    setWindowTitle(QStringLiteral("Print Preview"));
    fill(*this, kBackColor);

    // Created before the sheet, so it lies beneath it.
    m_sombra->setObjectName(QStringLiteral("sombra"));
    fill(*m_sombra, kShadowColor);
    place(*m_sombra, kSheet.left() + kShadowOffset, kSheet.top() + kShadowOffset, kSheet.width(),
          kSheet.height());

    m_pichoja->setObjectName(QStringLiteral("pichoja"));
    m_pichoja->setBorderStyle(BorderStyle::Flat);
    m_pichoja->setBackColor(palette().color(QPalette::Base));
    m_pichoja->Move(kSheet.left(), kSheet.top(), kSheet.width(), kSheet.height());
    m_pichoja->setAccessibleName(QStringLiteral("Page"));
    m_pichoja->setAccessibleDescription(
        QStringLiteral("A letter-size page with the picture one inch from its top left corner"));

    m_pictemp->setObjectName(QStringLiteral("pictemp"));
    m_pictemp->setBorderStyle(BorderStyle::Sunken);
    m_pictemp->Move(480, 2520, 735, 1005);
    m_pictemp->setAutoSize(true);
    m_pictemp->hide();

    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    place(*m_statusBar, 0, 5040, 6300, 315);

    resize(sizeHint());
}

QPushButton *PreviewWindow::makeButton(const QString &name, const QString &caption, double left,
                                       void (PreviewWindow::*handler)())
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setFont(runtime::formFont(8.25, true));
    place(*button, left, kButtonTop, kButtonWidth, kButtonHeight);
    connect(button, &QPushButton::clicked, this, [this, handler] {
        runtime::guard(m_host.dialogs(), [this, handler] { (this->*handler)(); });
    });
    return button;
}

void PreviewWindow::place(QWidget &widget, double left, double top, double width,
                          double height) const
{
    widget.setGeometry(m_scale.toPixels(left), m_scale.toPixels(top), m_scale.toPixels(width),
                       m_scale.toPixels(height));
}

QSize PreviewWindow::sizeHint() const
{
    return m_scale.toPixels(kClientWidth, kClientHeight);
}

PreviewWindow *PreviewWindow::Load(runtime::MainHost &host)
{
    auto *form = new PreviewWindow(host);
    QMdiSubWindow *frame = host.mdiArea().addSubWindow(form);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowTitle(form->windowTitle());
    frame->adjustSize();
    frame->hide();
    form->m_frame = frame;
    return form;
}

void PreviewWindow::Show()
{
    m_frame->show();
    m_host.mdiArea().setActiveSubWindow(m_frame);
}

void PreviewWindow::showPicture(const picture::Picture &picture)
{
    m_pictemp->setPicture(picture);
    const QSizeF sheet(m_pichoja->Width(), m_pichoja->Height());
    m_pichoja->Cls();
    paintSheet(previewRectangle(sheet, printedSize(*m_pictemp)));
}

void PreviewWindow::paintSheet(const QRectF &twips)
{
    const QSize inner = m_pichoja->drawingPixels();
    if (qint64(inner.width()) * inner.height() > kMaxSheetPixels)
        throw RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
    m_pichoja->PaintPicture(m_pictemp->picture(), twips.x(), twips.y(), twips.width(),
                            twips.height());
}

void PreviewWindow::zoom(double factor, const QString &failure)
{
    const QSizeF before(m_pichoja->Width(), m_pichoja->Height());
    m_pichoja->Cls();
    m_pichoja->Move(m_pichoja->Left(), m_pichoja->Top(), before.width() * factor,
                    before.height() * factor);
    m_sombra->resize(m_pichoja->size());

    runtime::ErrorTrap trap;
    trap.run([&] { paintSheet(zoomedPreviewRectangle(before, printedSize(*m_pictemp), factor)); });
    if (trap.failed())
        runtime::MsgBox(m_host.dialogs(), failure, runtime::vbCritical, QStringLiteral("Error"));
}

void PreviewWindow::cmdzoom_Click()
{
    zoom(2, QStringLiteral("No se puede aumentar más!"));
}

void PreviewWindow::cmdzoomout_Click()
{
    zoom(0.5, QStringLiteral("No se puede Reducir más!"));
}

void PreviewWindow::cmdclose_Click()
{
    m_unloaded = true;
    m_frame->close();
}

void PreviewWindow::closeEvent(QCloseEvent *event)
{
    m_unloaded = true;
    event->accept();
}

} // namespace lumora::print
