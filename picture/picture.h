#pragma once

#include "base/twipscale.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <memory>

class QPainter;

namespace lumora::picture {

// A picture that is drawn anew at every scale (a Windows metafile). Rendering must never go
// through an enlarged bitmap.
class VectorPicture {
public:
    virtual ~VectorPicture() = default;
    // Natural size in twips (from the file's header or its documented fallback rule).
    virtual QSizeF naturalSizeTwips() const = 0;
    // Plays the picture into `target` (device coordinates of `painter`), stretched to fill it.
    virtual void render(QPainter &painter, const QRectF &target) const = 0;
};

// What `LoadPicture` returns and a picture box's `Picture` holds: nothing, a bitmap or a
// vector picture. Cheap to copy (both kinds are shared).
class Picture final {
public:
    Picture() = default;
    explicit Picture(QImage raster);
    explicit Picture(std::shared_ptr<const VectorPicture> vector);
    // The top left `size` pixels of `canvas`, a bitmap decoded into a picture box's drawing
    // (see allocateCanvas): the picture reads the same pixels, without a copy of its own.
    static Picture onCanvas(const QImage &canvas, QSize size);

    bool isNull() const { return m_raster.isNull() && !m_vector; }
    bool isVector() const { return m_vector != nullptr; }
    const QImage &raster() const { return m_raster; }
    const VectorPicture *vector() const { return m_vector.get(); }
    // The drawing the bitmap was decoded into, or null.
    const QImage &canvas() const { return m_canvas; }

    // Size in device pixels at `scale` (a bitmap's own pixel size; a metafile's natural size).
    QSize sizePixels(const TwipScale &scale) const;

    // A bitmap with no transparent parts; painting it covers whatever was below.
    bool isOpaque() const;
    // The bitmap resampled to `size` as `draw` would show it (32 bits a pixel); null for a
    // vector picture or an empty size.
    QImage resampled(const QSize &size) const;

    // Draws the picture stretched into `target`. Bitmaps enlarged replicate pixels, bitmaps
    // reduced are box-averaged; vector pictures are rendered at the target size.
    void draw(QPainter &painter, const QRectF &target) const;

private:
    QImage m_raster;
    QImage m_canvas;
    std::shared_ptr<const VectorPicture> m_vector;
};

} // namespace lumora::picture
