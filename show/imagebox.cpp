#include "show/imagebox.h"

#include <QPainter>

namespace lumora::show {

ImageBox::ImageBox(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void ImageBox::setPicture(const picture::Picture &picture)
{
    m_picture = picture;
    render();
}

void ImageBox::setShowsError(bool on)
{
    m_error = on;
    update();
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
