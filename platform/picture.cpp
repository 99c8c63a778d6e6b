#include "platform/picture.h"

#include <QPainter>

namespace lumora::platform {

Picture::Picture(QImage raster) : m_raster(std::move(raster)) {}

Picture::Picture(std::shared_ptr<const VectorPicture> vector) : m_vector(std::move(vector)) {}

QSize Picture::sizePixels(const TwipScale &scale) const
{
    if (m_vector) {
        const QSizeF twips = m_vector->naturalSizeTwips();
        return scale.toPixels(twips.width(), twips.height());
    }
    return m_raster.size();
}

void Picture::draw(QPainter &painter, const QRectF &target) const
{
    if (m_vector) {
        m_vector->render(painter, target);
        return;
    }
    if (m_raster.isNull())
        return;
    const bool reducing =
        target.width() < m_raster.width() || target.height() < m_raster.height();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, reducing);
    painter.drawImage(target, m_raster);
    painter.restore();
}

} // namespace lumora::platform
