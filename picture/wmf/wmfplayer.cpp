#include "picture/wmf/wmfplayer.h"

#include "picture/wmf/wmfdevice.h"
#include "picture/wmf/wmflimits.h"

#include <QPaintEngine>
#include <cmath>

namespace lumora::picture::wmf {

namespace {

constexpr double kTwipsPerPixel = 15.0; // natural size in pixels at 96 per inch
constexpr int kPsNull = 5;
constexpr quint16 kBsNull = 1;
constexpr quint16 kBsHatched = 2;
constexpr double kThinPenPixels = 1.5;

Qt::BrushStyle hatchStyle(quint16 hatch)
{
    switch (hatch) {
    case 0:
        return Qt::HorPattern;
    case 1:
        return Qt::VerPattern;
    case 2:
        return Qt::FDiagPattern;
    case 3:
        return Qt::BDiagPattern;
    case 4:
        return Qt::CrossPattern;
    default:
        return Qt::DiagCrossPattern;
    }
}

} // namespace

Player::Player(const ParsedWmf &wmf, QPainter &painter, const QRectF &target)
    : m_wmf(wmf), m_painter(painter), m_target(target)
{
    const QRectF &f = wmf.frame;
    m_frameToTarget.ax = target.width() / f.width();
    m_frameToTarget.bx = target.left() - f.left() * m_frameToTarget.ax;
    m_frameToTarget.ay = target.height() / f.height();
    m_frameToTarget.by = target.top() - f.top() * m_frameToTarget.ay;
    const double naturalW = wmf.naturalTwips.width() / kTwipsPerPixel;
    const double naturalH = wmf.naturalTwips.height() / kTwipsPerPixel;
    if (naturalW > 0 && naturalH > 0)
        m_zoom = 0.5 * (std::abs(target.width()) / naturalW + std::abs(target.height()) / naturalH);
    m_deviceScale = std::sqrt(std::abs(painter.transform().determinant()));
    m_rasterOps =
        painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    m_base = QRegion(target.normalized().toAlignedRect());
    if (painter.hasClipping())
        m_base &= painter.clipRegion();
    m_budget = limits::kWorkBase +
               limits::kWorkPerTargetPixel * std::abs(target.width() * target.height());
    m_dc.map = wmf.initialState;
    m_dc.clip = m_base;
    updateMapping();
}

void Player::play()
{
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    setClip(m_base);
    for (const Record &r : m_wmf.records) {
        if (!spend(limits::kWorkPerRecord))
            break;
        step(r);
        if (m_exhausted)
            break;
    }
}

bool Player::spend(double work)
{
    m_work += work;
    if (m_work > m_budget)
        m_exhausted = true;
    return !m_exhausted;
}

void Player::updateMapping()
{
    const AxisMap map = m_dc.map.logicalToFrame(m_wmf.mapping).then(m_frameToTarget);
    if (std::isfinite(map.ax) && std::isfinite(map.bx) && std::isfinite(map.ay) &&
        std::isfinite(map.by))
        m_map = map;
    m_penDirty = true;
}

void Player::setClip(const QRegion &clip)
{
    m_dc.clip = clip;
    m_painter.setClipRegion(clip);
    m_clipBounds = QRectF(clip.boundingRect());
}

QRectF Player::mapRect(double l, double t, double r, double b) const
{
    return QRectF(map(l, t), map(r, b)).normalized();
}

void Player::step(const Record &r)
{
    switch (r.op) {
    case Op::LineTo:
        drawLine(r);
        break;
    case Op::Polyline:
    case Op::Polygon:
        drawPoly(r);
        break;
    case Op::PolyPolygon:
        drawPolyPolygon(r);
        break;
    case Op::Rectangle:
    case Op::RoundRect:
    case Op::Ellipse:
        drawBox(r);
        break;
    case Op::Arc:
    case Op::Pie:
    case Op::Chord:
        drawArc(r);
        break;
    case Op::PatBlt:
        drawPatBlt(mapRect(r.v[0], r.v[1], double(r.v[0]) + r.v[2], double(r.v[1]) + r.v[3]),
                   r.data, m_dc.brush);
        break;
    case Op::SetPixel: {
        const QPointF at = map(r.v[0], r.v[1]);
        const QRectF cell(
            at, QSizeF(std::max(1.0, std::abs(m_map.ax)), std::max(1.0, std::abs(m_map.ay))));
        if (cell.intersects(m_clipBounds) && spend(area(cell & m_clipBounds)))
            m_painter.fillRect(cell, QColor::fromRgb(r.data));
        break;
    }
    case Op::Text:
        drawText(m_wmf.texts[r.index]);
        break;
    case Op::Bitmap:
        drawBitmap(r);
        break;
    case Op::FillRegion:
    case Op::PaintRegion:
    case Op::FrameRegion:
    case Op::InvertRegion:
        drawRegion(r);
        break;
    case Op::FloodFill:
        drawFloodFill(r);
        break;
    default:
        stepState(r);
        break;
    }
}

void Player::stepState(const Record &r)
{
    switch (r.op) {
    case Op::SetWindowOrg:
    case Op::SetWindowExt:
    case Op::SetViewportOrg:
    case Op::SetViewportExt:
    case Op::OffsetWindowOrg:
    case Op::OffsetViewportOrg:
    case Op::ScaleWindowExt:
    case Op::ScaleViewportExt:
    case Op::SetMapMode:
        applyMapping(m_dc.map, r);
        updateMapping();
        m_brushDirty = true;
        break;
    case Op::SaveDC:
        if (int(m_saved.size()) < limits::kMaxSaveDepth)
            m_saved.push_back(m_dc);
        break;
    case Op::RestoreDC:
        restoreDc(qsizetype(r.v[0]));
        break;
    case Op::IntersectClipRect:
    case Op::ExcludeClipRect:
    case Op::OffsetClipRgn:
    case Op::SelectClipRegion:
        stepClip(r);
        break;
    case Op::Select:
        select(ObjectKind(r.mode), qint32(r.index));
        break;
    default:
        setDcValue(r);
        break;
    }
}

void Player::restoreDc(qsizetype drop)
{
    const qsizetype depth = qsizetype(m_saved.size());
    if (drop < 1 || drop > depth)
        return;
    m_dc = m_saved[depth - drop];
    m_saved.resize(depth - drop);
    updateMapping();
    setClip(m_dc.clip);
    m_brushDirty = true;
}

void Player::stepClip(const Record &r)
{
    switch (r.op) {
    case Op::IntersectClipRect:
    case Op::ExcludeClipRect: {
        const QRect rect = deviceRect(mapRect(r.v[0], r.v[1], r.v[2], r.v[3]));
        const QRegion clip = r.op == Op::IntersectClipRect ? m_dc.clip.intersected(rect)
                                                           : m_dc.clip.subtracted(rect);
        if (clip.rectCount() <= limits::kMaxClipRects && spend(clip.rectCount() * 16.0))
            setClip(clip);
        break;
    }
    case Op::OffsetClipRgn: {
        const QPoint by(int(std::lround(r.v[0] * m_map.ax)), int(std::lround(r.v[1] * m_map.ay)));
        setClip(m_dc.clip.translated(by).intersected(m_base));
        break;
    }
    default: { // SelectClipRegion
        const QRegion clip =
            r.count == 0 ? m_base : deviceRegion(m_wmf.regions[r.index]).intersected(m_base);
        if (clip.rectCount() <= limits::kMaxClipRects)
            setClip(clip);
        break;
    }
    }
}

void Player::select(ObjectKind kind, qint32 def)
{
    switch (kind) {
    case ObjectKind::Pen:
        m_dc.pen = def;
        m_penDirty = true;
        break;
    case ObjectKind::Brush:
        m_dc.brush = def;
        m_brushDirty = true;
        break;
    case ObjectKind::Font:
        m_dc.font = def;
        break;
    default:
        break;
    }
}

// The records that set one value of the device context.
void Player::setDcValue(const Record &r)
{
    switch (r.op) {
    case Op::SetBkMode:
        m_dc.bkMode = r.mode;
        break;
    case Op::SetBkColor:
        m_dc.bkColor = r.data;
        m_brushDirty = true;
        break;
    case Op::SetTextColor:
        m_dc.textColor = r.data;
        m_brushDirty = true;
        break;
    case Op::SetTextAlign:
        m_dc.textAlign = r.mode;
        break;
    case Op::SetPolyFillMode:
        m_dc.polyFillMode = r.mode;
        break;
    case Op::SetRop2:
        m_dc.rop2 = r.mode;
        break;
    case Op::SetStretchBltMode:
        m_dc.stretchMode = r.mode;
        break;
    case Op::SetTextCharExtra:
        m_dc.charExtra = r.v[0];
        break;
    case Op::SetLineCap:
        m_dc.lineCap = r.mode;
        m_penDirty = true;
        break;
    case Op::SetLineJoin:
        m_dc.lineJoin = r.mode;
        m_penDirty = true;
        break;
    case Op::SetMiterLimit:
        m_dc.miterLimit = r.data;
        m_penDirty = true;
        break;
    case Op::MoveTo:
        m_dc.cpX = r.v[0];
        m_dc.cpY = r.v[1];
        break;
    default:
        break;
    }
}

double Player::penWidth() const
{
    const PenDef *pen = m_dc.pen >= 0 ? &m_wmf.pens[m_dc.pen] : nullptr;
    if (!pen || pen->width == 0)
        return 1.0;
    return std::max(1.0, std::abs(pen->width * m_map.ax));
}

bool Player::isDashed() const
{
    const PenDef pen = m_dc.pen >= 0 ? m_wmf.pens[m_dc.pen] : PenDef{};
    const int style = pen.style & 0x0F;
    return style >= 1 && style <= 4 && std::abs(pen.width) <= 1;
}

bool Player::isHatched() const
{
    return m_dc.brush >= 0 && m_wmf.brushes[m_dc.brush].style == kBsHatched;
}

QPen Player::makePen() const
{
    const PenDef def = m_dc.pen >= 0 ? m_wmf.pens[m_dc.pen] : PenDef{};
    const int style = def.style & 0x0F;
    if (style == kPsNull)
        return QPen(Qt::NoPen);
    QPen pen{QColor::fromRgb(def.color)};
    const double width = penWidth();
    // GDI draws a pen whole device pixels wide: under one and a half that is one pixel, which
    // the painter also draws several times faster than an outline of a fractional width.
    const bool hairline = def.width == 0 || width * m_deviceScale < kThinPenPixels;
    pen.setWidthF(hairline ? 1.0 : width);
    pen.setCosmetic(hairline);
    static constexpr Qt::PenCapStyle kEscapeCaps[] = {Qt::FlatCap, Qt::RoundCap, Qt::SquareCap};
    static constexpr Qt::PenJoinStyle kEscapeJoins[] = {Qt::MiterJoin, Qt::RoundJoin,
                                                        Qt::BevelJoin};
    const int cap = def.style & 0x0F00, join = def.style & 0xF000;
    pen.setCapStyle(m_dc.lineCap >= 0 ? kEscapeCaps[m_dc.lineCap]
                    : cap == 0x0100   ? Qt::SquareCap
                    : cap == 0x0200   ? Qt::FlatCap
                                      : Qt::RoundCap);
    pen.setJoinStyle(m_dc.lineJoin >= 0 ? kEscapeJoins[m_dc.lineJoin]
                     : join == 0x1000   ? Qt::BevelJoin
                     : join == 0x2000   ? Qt::MiterJoin
                                        : Qt::RoundJoin);
    pen.setMiterLimit(m_dc.miterLimit);
    if (isDashed()) {
        // GDI's dash lengths in pixels, scaled with the picture.
        static const QList<qreal> kPatterns[] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
        QList<qreal> pattern = kPatterns[style - 1];
        const double unit = std::max(m_zoom, 0.25) / (hairline ? 1.0 : width);
        for (qreal &v : pattern)
            v *= unit;
        pen.setDashPattern(pattern);
        pen.setCapStyle(Qt::FlatCap);
    }
    return pen;
}

QBrush Player::patternBrush(const BitmapDef &bitmap) const
{
    QImage image = bitmap.image;
    if (bitmap.monochrome)
        image.setColorTable({m_dc.textColor, m_dc.bkColor});
    return QBrush(image);
}

QBrush Player::makeBrush(qint32 def) const
{
    const BrushDef brush = def >= 0 ? m_wmf.brushes[def] : BrushDef{};
    QBrush out;
    switch (brush.style) {
    case kBsNull:
        return QBrush(Qt::NoBrush);
    case kBsHatched:
        out = QBrush(QColor::fromRgb(brush.color), hatchStyle(brush.hatch));
        break;
    case 3:
        if (brush.bitmap < 0)
            return QBrush(Qt::NoBrush);
        out = patternBrush(m_wmf.bitmaps[brush.bitmap]);
        break;
    default:
        return QBrush(QColor::fromRgb(brush.color));
    }
    // Patterns start at the target's corner and grow with the picture, by whole pixels so
    // that they stay crisp (and fast: an unscaled pattern is a plain tiling).
    const double scale = std::max(1.0, std::round(m_zoom));
    QTransform t;
    t.translate(m_target.left(), m_target.top());
    if (scale != 1.0)
        t.scale(scale, scale);
    out.setTransform(t);
    return out;
}

} // namespace lumora::picture::wmf
