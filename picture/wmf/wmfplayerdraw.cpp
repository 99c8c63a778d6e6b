// The player's drawing records: lines, shapes, raster operations, bitmaps and regions.

#include "picture/wmf/wmflimits.h"
#include "picture/wmf/wmfplayer.h"

#include <QPaintEngine>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace lumora::picture::wmf {

namespace {

constexpr int kOpaque = 2;
constexpr int kWinding = 2;
constexpr int kHalftone = 4;
constexpr int kPsInsideFrame = 6;

double area(const QRectF &r)
{
    return r.isValid() ? r.width() * r.height() : 0.0;
}

QRect deviceRect(const QRectF &r)
{
    const QRectF n = r.normalized();
    return QRect(QPoint(int(std::lround(n.left())), int(std::lround(n.top()))),
                 QPoint(int(std::lround(n.right())) - 1, int(std::lround(n.bottom())) - 1));
}

// ROP2 codes ([MS-WMF] 2.1.1.22) as raster operations of the raster engine.
QPainter::CompositionMode rop2Mode(int rop2)
{
    switch (rop2) {
    case 2:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case 3:
        return QPainter::RasterOp_NotSourceAndDestination;
    case 5:
        return QPainter::RasterOp_SourceAndNotDestination;
    case 6:
        return QPainter::RasterOp_NotDestination;
    case 7:
        return QPainter::RasterOp_SourceXorDestination;
    case 8:
        return QPainter::RasterOp_NotSourceOrNotDestination;
    case 9:
        return QPainter::RasterOp_SourceAndDestination;
    case 10:
        return QPainter::RasterOp_NotSourceXorDestination;
    case 12:
        return QPainter::RasterOp_NotSourceOrDestination;
    case 14:
        return QPainter::RasterOp_SourceOrNotDestination;
    case 15:
        return QPainter::RasterOp_SourceOrDestination;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

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

QColor inverted(const QColor &c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
}

// The centre of the device pixel that GDI's rounding of `v` names.
double pixelCentre(double v)
{
    return std::floor(v + 0.5) + 0.5;
}

} // namespace

PixelSnap::PixelSnap(const QTransform &toDevice)
    : m_toDevice(toDevice), m_fromDevice(toDevice.inverted(&m_on))
{
}

QPointF PixelSnap::operator()(const QPointF &p) const
{
    if (!m_on)
        return p;
    const QPointF d = m_toDevice.map(p);
    return m_fromDevice.map(QPointF(pixelCentre(d.x()), pixelCentre(d.y())));
}

std::array<QPointF, 4> PixelSnap::box(const QRectF &r) const
{
    if (!m_on || m_toDevice.isRotating()) {
        const PixelSnap &at = *this;
        return {at(r.topLeft()), at(r.topRight()), at(r.bottomRight()), at(r.bottomLeft())};
    }
    const QRectF d = m_toDevice.mapRect(r);
    const double left = pixelCentre(d.left());
    const double top = pixelCentre(d.top());
    const double right = std::max(left, pixelCentre(d.right()) - 1.0);
    const double bottom = std::max(top, pixelCentre(d.bottom()) - 1.0);
    return {m_fromDevice.map(QPointF(left, top)), m_fromDevice.map(QPointF(right, top)),
            m_fromDevice.map(QPointF(right, bottom)), m_fromDevice.map(QPointF(left, bottom))};
}

Player::ColorRule Player::beginRop2()
{
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    ColorRule rule = ColorRule::Keep;
    switch (m_dc.rop2) {
    case 1:
        rule = ColorRule::Black;
        break;
    case 4:
        rule = ColorRule::Invert;
        break;
    case 11:
        return ColorRule::Skip;
    case 16:
        rule = ColorRule::White;
        break;
    default:
        if (m_rasterOps)
            mode = rop2Mode(m_dc.rop2);
        break;
    }
    m_painter.setCompositionMode(mode);
    // Raster operations combine whole pixels; partial coverage would combine twice.
    m_painter.setRenderHint(QPainter::Antialiasing, mode == QPainter::CompositionMode_SourceOver);
    return rule;
}

template <typename Draw>
void Player::shape(const QRectF &bounds, bool closed, qsizetype points, Draw draw)
{
    const double width = penWidth();
    const QRectF reach = bounds.adjusted(-width, -width, width, width);
    const QRectF visible = reach & m_clipBounds;
    if (!spend(double(points) * limits::kWorkPerPoint) || visible.isEmpty())
        return;
    if (m_penDirty) {
        m_pen = makePen();
        m_penDirty = false;
    }
    if (m_brushDirty) {
        m_brush = makeBrush(m_dc.brush);
        m_brushDirty = false;
    }
    QPen pen = m_pen;
    QBrush brush = closed ? m_brush : QBrush(Qt::NoBrush);
    double work = brush.style() != Qt::NoBrush ? area(visible) : 0.0;
    if (pen.style() != Qt::NoPen)
        work += std::min(area(visible), 2 * (visible.width() + visible.height()) * width);
    if (!spend(work))
        return;
    const ColorRule rule = beginRop2();
    if (rule == ColorRule::Skip)
        return;
    if (rule != ColorRule::Keep) {
        const auto recolor = [rule](const QColor &c) {
            return rule == ColorRule::Black   ? QColor(Qt::black)
                   : rule == ColorRule::White ? QColor(Qt::white)
                                              : inverted(c);
        };
        pen.setColor(recolor(pen.color()));
        if (brush.style() != Qt::NoBrush)
            brush = QBrush(recolor(brush.color()));
    }
    // Only the picture's own one-pixel pens are moved onto whole pixels; the seam cover below
    // must stay on the fill's edges.
    const bool crisp = pen.style() != Qt::NoPen && snapsOutline(pen);
    if (pen.style() == Qt::NoPen && brush.style() == Qt::SolidPattern && rule == ColorRule::Keep &&
        m_painter.compositionMode() == QPainter::CompositionMode_SourceOver) {
        // Shapes filled edge to edge without an outline (gradients of strips, say) would show
        // hairline seams where anti-aliased edges meet: half a pixel more of the fill hides them.
        pen = QPen(brush.color(), 1.0);
        pen.setCosmetic(true);
        pen.setJoinStyle(Qt::MiterJoin);
    }
    const QColor background = QColor::fromRgb(m_dc.bkColor);
    if (brush.style() != Qt::NoBrush && isHatched() && m_dc.bkMode == kOpaque) {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(background); // the gaps of a hatch show the background colour
        draw(PixelSnap());
    }
    // A crisp outline goes over the fill, which keeps its own edges.
    PixelSnap at;
    if (crisp) {
        at = PixelSnap(m_painter.combinedTransform());
        if (brush.style() != Qt::NoBrush) {
            m_painter.setPen(Qt::NoPen);
            m_painter.setBrush(brush);
            draw(PixelSnap());
            brush = Qt::NoBrush;
        }
    }
    if (pen.style() != Qt::NoPen && isDashed() && m_dc.bkMode == kOpaque) {
        QPen under = pen;
        under.setStyle(Qt::SolidLine);
        under.setColor(background); // so do the gaps of a dashed line
        m_painter.setPen(under);
        m_painter.setBrush(Qt::NoBrush);
        draw(at);
    }
    m_painter.setPen(pen);
    m_painter.setBrush(brush);
    draw(at);
}

bool Player::snapsOutline(const QPen &pen) const
{
    return pen.isCosmetic() && pen.widthF() == 1.0 &&
           m_painter.testRenderHint(QPainter::Antialiasing);
}

const QPointF *Player::snapped(const std::vector<QPointF> &points, const PixelSnap &at)
{
    if (!at.moves())
        return points.data();
    m_snapped.resize(points.size());
    std::transform(points.begin(), points.end(), m_snapped.begin(), at);
    return m_snapped.data();
}

void Player::drawLine(const Record &r)
{
    const QPointF from = map(m_dc.cpX, m_dc.cpY), to = map(r.v[0], r.v[1]);
    shape(QRectF(from, to).normalized(), false, 2,
          [&](const PixelSnap &at) { m_painter.drawLine(at(from), at(to)); });
    m_dc.cpX = r.v[0];
    m_dc.cpY = r.v[1];
}

void Player::drawBox(const Record &r)
{
    QRectF rect = mapRect(r.v[0], r.v[1], r.v[2], r.v[3]);
    const PenDef *pen = m_dc.pen >= 0 ? &m_wmf.pens[m_dc.pen] : nullptr;
    if (pen && (pen->style & 0x0F) == kPsInsideFrame) { // the outline stays inside the box
        const double half = std::min(penWidth() / 2, std::min(rect.width(), rect.height()) / 2);
        rect.adjust(half, half, -half, -half);
    }
    if (r.op == Op::Rectangle) {
        shape(rect, true, 4, [&](const PixelSnap &at) {
            if (!at.moves()) {
                m_painter.drawRect(rect);
                return;
            }
            m_painter.drawPolygon(at.box(rect).data(), 4);
        });
    } else if (r.op == Op::Ellipse) {
        shape(rect, true, 4, [&](const PixelSnap &) { m_painter.drawEllipse(rect); });
    } else {
        const double rx = std::min(std::abs(r.v[4] * m_map.ax) / 2, rect.width() / 2);
        const double ry = std::min(std::abs(r.v[5] * m_map.ay) / 2, rect.height() / 2);
        shape(rect, true, 4, [&](const PixelSnap &) { m_painter.drawRoundedRect(rect, rx, ry); });
    }
}

void Player::drawPoly(const Record &r)
{
    const Point16 *points = m_wmf.points.data() + r.index;
    const int n = int(r.count);
    m_scratch.resize(n);
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (int i = 0; i < n; ++i) {
        const QPointF p = map(points[i].x, points[i].y);
        m_scratch[i] = p;
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    const QRectF bounds(QPointF(minX, minY), QPointF(maxX, maxY));
    if (r.op == Op::Polygon) {
        const Qt::FillRule rule = m_dc.polyFillMode == kWinding ? Qt::WindingFill : Qt::OddEvenFill;
        shape(bounds, true, n,
              [&](const PixelSnap &at) { m_painter.drawPolygon(snapped(m_scratch, at), n, rule); });
    } else if (n >= 2) {
        shape(bounds, false, n,
              [&](const PixelSnap &at) { m_painter.drawPolyline(snapped(m_scratch, at), n); });
    }
}

void Player::drawPolyPolygon(const Record &r)
{
    QPainterPath path;
    path.setFillRule(m_dc.polyFillMode == kWinding ? Qt::WindingFill : Qt::OddEvenFill);
    const Point16 *points = m_wmf.points.data() + r.data;
    qsizetype total = 0;
    for (quint32 i = 0; i < r.count; ++i) {
        const quint32 size = m_wmf.polygonSizes[r.index + i];
        for (quint32 k = 0; k < size; ++k) {
            const QPointF p = map(points[k].x, points[k].y);
            k == 0 ? path.moveTo(p) : path.lineTo(p);
        }
        if (size > 0)
            path.closeSubpath();
        points += size;
        total += size;
    }
    shape(path.boundingRect(), true, total, [&](const PixelSnap &at) {
        if (!at.moves()) {
            m_painter.drawPath(path);
            return;
        }
        QPainterPath outline = path;
        for (int i = 0; i < outline.elementCount(); ++i) {
            const QPointF p = at(outline.elementAt(i));
            outline.setElementPositionAt(i, p.x(), p.y());
        }
        m_painter.drawPath(outline);
    });
}

void Player::drawArc(const Record &r)
{
    QRectF rect = mapRect(r.v[0], r.v[1], r.v[2], r.v[3]);
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const QPointF c = rect.center();
    const double rx = rect.width() / 2, ry = rect.height() / 2;
    // The radial points give true angles; Qt's arcs take the ellipse's parametric angle.
    // GDI draws counter-clockwise as seen on the device.
    const auto angle = [&](const QPointF &p) {
        return std::atan2((c.y() - p.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / M_PI;
    };
    const double start = angle(map(r.v[4], r.v[5]));
    double sweep = angle(map(r.v[6], r.v[7])) - start;
    while (sweep <= 0)
        sweep += 360.0;
    QPainterPath path;
    if (r.op == Op::Pie)
        path.moveTo(c);
    else
        path.arcMoveTo(rect, start);
    path.arcTo(rect, start, sweep);
    if (r.op != Op::Arc)
        path.closeSubpath();
    shape(rect, r.op != Op::Arc, 8, [&](const PixelSnap &) { m_painter.drawPath(path); });
}

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
