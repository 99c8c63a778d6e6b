// The player's raster records: pattern blits, bitmaps, regions and flood fills.

#include "picture/wmf/wmfdevice.h"
#include "picture/wmf/wmflimits.h"
#include "picture/wmf/wmfplayer.h"

#include <QPaintEngine>
#include <algorithm>
#include <cmath>

namespace lumora::picture::wmf {

namespace {

constexpr int kHalftone = 4;

// Ternary raster operations of the bitmap records, by their index byte.
QPainter::CompositionMode blitMode(quint32 rop)
{
    switch ((rop >> 16) & 0xFF) {
    case 0xEE:
        return QPainter::RasterOp_SourceOrDestination; // SRCPAINT
    case 0x88:
        return QPainter::RasterOp_SourceAndDestination; // SRCAND
    case 0x66:
        return QPainter::RasterOp_SourceXorDestination; // SRCINVERT
    case 0x44:
        return QPainter::RasterOp_SourceAndNotDestination; // SRCERASE
    case 0x33:
        return QPainter::RasterOp_NotSource; // NOTSRCCOPY
    case 0x11:
        return QPainter::RasterOp_NotSourceAndNotDestination; // NOTSRCERASE
    case 0xBB:
        return QPainter::RasterOp_NotSourceOrDestination; // MERGEPAINT
    default:
        return QPainter::CompositionMode_SourceOver; // SRCCOPY and the rest
    }
}

// Flood fills read back what was drawn, anti-aliased: a pixel within this much of a colour in
// every channel counts as that colour, so that soft edges hold a fill in as hard ones do.
constexpr int kFloodTolerance = 48;

bool sameColor(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= kFloodTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= kFloodTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kFloodTolerance;
}

// The rows, one rectangle each, of the area around `seed` (joined across edges, not corners)
// whose pixels `fillable` accepts, within `bounds`.
template <typename Fillable>
std::vector<QRect> floodRows(const QImage &image, QPoint seed, const QRect &bounds,
                             Fillable fillable)
{
    std::vector<QRect> rows;
    std::vector<bool> seen(size_t(bounds.width()) * size_t(bounds.height()));
    const auto open = [&](int x, int y) {
        const size_t at =
            size_t(y - bounds.top()) * size_t(bounds.width()) + size_t(x - bounds.left());
        return !seen[at] && fillable(image.pixel(x, y));
    };
    std::vector<QPoint> pending{seed};
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        if (!open(p.x(), p.y()))
            continue;
        int left = p.x(), right = p.x();
        while (left > bounds.left() && open(left - 1, p.y()))
            --left;
        while (right < bounds.right() && open(right + 1, p.y()))
            ++right;
        const size_t rowAt = size_t(p.y() - bounds.top()) * size_t(bounds.width());
        std::fill_n(seen.begin() + qsizetype(rowAt + size_t(left - bounds.left())),
                    right - left + 1, true);
        rows.emplace_back(left, p.y(), right - left + 1, 1);
        for (const int y : {p.y() - 1, p.y() + 1}) {
            if (y < bounds.top() || y > bounds.bottom())
                continue;
            for (int x = left; x <= right; ++x) {
                if (open(x, y) && (x == left || !open(x - 1, y)))
                    pending.emplace_back(x, y); // the first pixel of each open run
            }
        }
    }
    return rows;
}

} // namespace

void Player::drawPatBlt(const QRectF &rect, quint32 rop, qint32 brushDef)
{
    const QRectF visible = rect & m_clipBounds;
    if (visible.isEmpty() || !spend(area(visible)))
        return;
    QBrush brush = makeBrush(brushDef);
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch ((rop >> 16) & 0xFF) {
    case 0x00:
        brush = QBrush(Qt::black);
        break; // BLACKNESS
    case 0xFF:
        brush = QBrush(Qt::white);
        break; // WHITENESS
    case 0xAA:
        return; // the destination as it is
    case 0x55:  // DSTINVERT
        if (!m_rasterOps)
            return;
        brush = QBrush(Qt::black);
        mode = QPainter::RasterOp_NotDestination;
        break;
    case 0x5A: // PATINVERT
        if (m_rasterOps)
            mode = QPainter::RasterOp_SourceXorDestination;
        break;
    default: // PATCOPY and the rest
        break;
    }
    if (brush.style() == Qt::NoBrush)
        return;
    m_painter.setCompositionMode(mode);
    m_painter.setRenderHint(QPainter::Antialiasing, mode == QPainter::CompositionMode_SourceOver);
    m_painter.fillRect(rect, brush);
}

void Player::drawBitmap(const Record &r)
{
    const BitmapDef &bitmap = m_wmf.bitmaps[r.index];
    QImage image = bitmap.image;
    if (bitmap.monochrome) // a device bitmap of two colours: text colour and background
        image.setColorTable({m_dc.textColor, m_dc.bkColor});
    const double sw = r.v[6], sh = r.v[7], sx = r.v[4];
    // StretchDIBits counts the source rows of a bottom-up bitmap from its last row.
    const double sy = (r.flags & kBitmapSourceFromBottom) ? image.height() - (r.v[5] + sh) : r.v[5];
    if (sw == 0 || sh == 0)
        return;
    const QPointF d0 = map(r.v[0], r.v[1]);
    const QPointF d1 = map(double(r.v[0]) + r.v[2], double(r.v[1]) + r.v[3]);
    if (d0.x() == d1.x() || d0.y() == d1.y())
        return;
    // Source pixels onto the destination; opposite signs mirror the picture.
    const double scaleX = (d1.x() - d0.x()) / sw, scaleY = (d1.y() - d0.y()) / sh;
    const QTransform toDevice(scaleX, 0, 0, scaleY, d0.x() - sx * scaleX, d0.y() - sy * scaleY);
    const QRectF source = QRectF(sx, sy, sw, sh).normalized() & QRectF(image.rect());
    if (source.isEmpty())
        return;
    const QRectF visible = toDevice.mapRect(source) & m_clipBounds;
    if (visible.isEmpty() || !spend(2 * area(visible)))
        return;
    const QPainter::CompositionMode mode =
        m_rasterOps ? blitMode(r.data) : QPainter::CompositionMode_SourceOver;
    m_painter.setCompositionMode(mode);
    m_painter.setRenderHint(QPainter::Antialiasing, mode == QPainter::CompositionMode_SourceOver);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, m_dc.stretchMode == kHalftone ||
                                                                 std::abs(scaleX) < 1 ||
                                                                 std::abs(scaleY) < 1);
    const QTransform saved = m_painter.transform();
    m_painter.setTransform(toDevice, true);
    m_painter.drawImage(source.topLeft(), image, source);
    m_painter.setTransform(saved);
}

QRegion Player::deviceRegion(const QRegion &logical) const
{
    QRegion out;
    for (const QRect &r : logical)
        out +=
            deviceRect(mapRect(r.left(), r.top(), double(r.right()) + 1, double(r.bottom()) + 1));
    return out;
}

void Player::drawRegion(const Record &r)
{
    QRegion region = m_wmf.regions[r.index];
    if (r.op == Op::FrameRegion) {
        // The frame: what the region loses when it shrinks by the brush's width and height.
        const int w = std::abs(r.v[0]), h = std::abs(r.v[1]);
        const QRegion inner = region.translated(w, 0) & region.translated(-w, 0) &
                              region.translated(0, h) & region.translated(0, -h) & region;
        region -= inner;
    }
    QBrush brush;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    if (r.op == Op::InvertRegion) {
        if (!m_rasterOps)
            return;
        brush = QBrush(Qt::black);
        mode = QPainter::RasterOp_NotDestination;
    } else {
        brush = makeBrush(r.op == Op::PaintRegion ? m_dc.brush : qint32(r.data));
    }
    if (brush.style() == Qt::NoBrush)
        return;
    m_painter.setCompositionMode(mode);
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    for (const QRect &rect : region) {
        const QRectF device =
            mapRect(rect.left(), rect.top(), double(rect.right()) + 1, double(rect.bottom()) + 1);
        if (!spend(limits::kWorkPerRecord + area(device & m_clipBounds)))
            return;
        m_painter.fillRect(device, brush);
    }
}

void Player::drawFloodFill(const Record &r)
{
    // A flood fill needs the pixels drawn so far: on an image painted without turning or
    // scaling only. On a printer or in a PDF, and through such a painter, it is left out.
    QPaintDevice *device = m_painter.device();
    const QTransform &toDevice = m_painter.transform();
    if (!device || device->devType() != QInternal::Image ||
        toDevice.type() > QTransform::TxTranslate)
        return;
    const QImage &image = *static_cast<QImage *>(device);
    const QRect bounds = toDevice.mapRect(m_clipBounds).toAlignedRect() & image.rect();
    const QPointF at = toDevice.map(map(r.v[0], r.v[1]));
    const QPoint seed(int(std::floor(at.x())), int(std::floor(at.y())));
    if (!bounds.contains(seed) || !spend(4 * area(QRectF(bounds))))
        return;
    const QBrush brush = makeBrush(m_dc.brush);
    if (brush.style() == Qt::NoBrush)
        return;
    const QRgb color = r.data, start = image.pixel(seed);
    const bool surface = r.mode == 1;
    const auto rows = floodRows(image, seed, bounds, [&](QRgb px) {
        return surface ? sameColor(px, color) : !sameColor(px, color) && sameColor(px, start);
    });
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    for (const QRect &row : rows)
        m_painter.fillRect(QRectF(row).translated(-toDevice.dx(), -toDevice.dy()), brush);
}

} // namespace lumora::picture::wmf
