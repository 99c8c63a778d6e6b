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
    // The part of a bitmap `whole` pixels large that lies at `at` and holds `pixels`: the rest
    // of it was never read. It measures, and is placed, as the whole bitmap; it draws only its
    // part, and nothing may take it for the whole (it is not opaque and cannot be resampled).
    static Picture part(QImage pixels, QSize whole, QPoint at);

    bool isNull() const { return m_raster.isNull() && !m_vector; }
    bool isVector() const { return m_vector != nullptr; }
    // A bitmap's pixels; those of its part only, for a partial picture.
    const QImage &raster() const { return m_raster; }
    bool isPartial() const { return !m_part.isNull(); }
    // Where a partial picture's pixels lie in the whole; null for a whole picture.
    QRect partRect() const { return m_part; }
    const VectorPicture *vector() const { return m_vector.get(); }
    // The drawing the bitmap was decoded into, or null.
    const QImage &canvas() const { return m_canvas; }

    // Size in device pixels at `scale` (a bitmap's own pixel size, the whole one for a partial
    // picture; a metafile's natural size).
    QSize sizePixels(const TwipScale &scale) const;

    // A bitmap with no transparent parts; painting it covers whatever was below.
    bool isOpaque() const;
    // The bitmap resampled to `size` as `draw` would show it (32 bits a pixel); null for a
    // vector or partial picture or an empty size.
    QImage resampled(const QSize &size) const;

    // Draws the picture stretched into `target`. Bitmaps enlarged replicate pixels, bitmaps
    // reduced are box-averaged; vector pictures are rendered at the target size. A partial
    // picture draws its part where it lies in `target` and leaves the rest as it was.
    void draw(QPainter &painter, const QRectF &target) const;

private:
    void drawPart(QPainter &painter, const QRectF &target) const;

    QImage m_raster;
    QImage m_canvas;
    QRect m_part;
    QSize m_whole; // of a partial picture
    std::shared_ptr<const VectorPicture> m_vector;
};

} // namespace lumora::picture
