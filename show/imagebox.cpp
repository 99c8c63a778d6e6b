#include "show/imagebox.h"

#include "runtime/accessiblepicture.h"
#include "runtime/twips.h"

#include <QPainter>

namespace lumora::show {

ImageBox::ImageBox(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    runtime::readAsPicture(*this);
    describe();
}

void ImageBox::setPicture(const picture::Picture &picture)
{
    m_picture = picture;
    render();
    describe();
}

void ImageBox::setShowsError(bool on)
{
    m_error = on;
    update();
    describe();
}

void ImageBox::describe()
{
    setAccessibleDescription(m_error ? QStringLiteral("Error: the file could not be read")
                                     : runtime::pictureSizeText(m_picture, runtime::screenScale()));
}

void ImageBox::render()
{
    const QSize inner = contentsRect().size();
    if (m_picture.isNull() || inner.isEmpty()) {
        m_rendered = QImage();
    } else {
        m_rendered = QImage(inner, QImage::Format_ARGB32_Premultiplied);
        m_rendered.fill(Qt::transparent);
        QPainter painter(&m_rendered);
        m_picture.draw(painter, QRectF(QPointF(0, 0), inner));
    }
    update();
}

void ImageBox::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    render();
}

void ImageBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    if (!m_rendered.isNull())
        painter.drawImage(contentsRect().topLeft(), m_rendered);
    if (m_error) {
        painter.setPen(Qt::red);
        painter.drawText(contentsRect(), Qt::AlignCenter, QStringLiteral("Error"));
    }
}

} // namespace lumora::show
