// The player's shapes: lines, polygons, boxes and arcs, with the pen, brush and ROP2 they are
// drawn with.

#include "picture/wmf/wmfdevice.h"
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
constexpr int kPsInsideFrame = 6;

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

QColor inverted(const QColor &c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
}

// A pen or brush colour under a ROP2 that sets it alone.
QColor recolored(Player::ColorRule rule, const QColor &c)
{
    return rule == Player::ColorRule::Black   ? QColor(Qt::black)
           : rule == Player::ColorRule::White ? QColor(Qt::white)
                                              : inverted(c);
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
        pen.setColor(recolored(rule, pen.color()));
        if (brush.style() != Qt::NoBrush)
            brush = QBrush(recolored(rule, brush.color()));
    }
    paintShape(pen, brush, rule == ColorRule::Keep, draw);
}

// Draws the fill and outline in the passes GDI's look needs: the background under hatches
// and dashes, a crisp outline over its fill, a cover over the seams of outline-less fills.
template <typename Draw>
void Player::paintShape(QPen pen, QBrush brush, bool plainColors, Draw draw)
{
    // Only the picture's own one-pixel pens are moved onto whole pixels; the seam cover below
    // must stay on the fill's edges.
    const bool crisp = pen.style() != Qt::NoPen && snapsOutline(pen);
    if (pen.style() == Qt::NoPen && brush.style() == Qt::SolidPattern && plainColors &&
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

} // namespace lumora::picture::wmf
