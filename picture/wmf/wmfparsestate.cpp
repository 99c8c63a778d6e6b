// The parser's state, drawing and escape records.

#include "picture/wmf/wmflimits.h"
#include "picture/wmf/wmfparser.h"

namespace lumora::picture::wmf::detail {

namespace {

Op stateOp(quint16 function)
{
    switch (function) {
    case fn::SetBkMode:
        return Op::SetBkMode;
    case fn::SetMapMode:
        return Op::SetMapMode;
    case fn::SetRop2:
        return Op::SetRop2;
    case fn::SetPolyFillMode:
        return Op::SetPolyFillMode;
    case fn::SetStretchBltMode:
        return Op::SetStretchBltMode;
    case fn::SetTextAlign:
        return Op::SetTextAlign;
    case fn::SetTextCharExtra:
        return Op::SetTextCharExtra;
    case fn::SetBkColor:
        return Op::SetBkColor;
    case fn::SetTextColor:
        return Op::SetTextColor;
    case fn::SetWindowOrg:
        return Op::SetWindowOrg;
    case fn::SetWindowExt:
        return Op::SetWindowExt;
    case fn::SetViewportOrg:
        return Op::SetViewportOrg;
    case fn::SetViewportExt:
        return Op::SetViewportExt;
    case fn::OffsetWindowOrg:
        return Op::OffsetWindowOrg;
    case fn::OffsetViewportOrg:
        return Op::OffsetViewportOrg;
    case fn::ScaleWindowExt:
        return Op::ScaleWindowExt;
    case fn::ScaleViewportExt:
        return Op::ScaleViewportExt;
    case fn::SaveDC:
        return Op::SaveDC;
    case fn::RestoreDC:
        return Op::RestoreDC;
    case fn::IntersectClipRect:
        return Op::IntersectClipRect;
    case fn::ExcludeClipRect:
        return Op::ExcludeClipRect;
    case fn::OffsetClipRgn:
        return Op::OffsetClipRgn;
    default:
        return Op::SaveDC;
    }
}

} // namespace

void Parser::parseState(quint16 function, const ByteReader &p, qsizetype words)
{
    const Params a{p};
    Record r;
    r.op = stateOp(function);
    switch (function) {
    case fn::SetBkMode:
    case fn::SetMapMode:
    case fn::SetRop2:
    case fn::SetPolyFillMode:
    case fn::SetStretchBltMode:
    case fn::SetTextAlign:
        if (!parseMode(function, a, words, r))
            return;
        break;
    case fn::SetTextCharExtra:
        if (words < 1)
            return;
        r.v[0] = a.s(0);
        break;
    case fn::SetBkColor:
    case fn::SetTextColor:
        if (words < 2)
            return;
        r.data = color(p.u32(0));
        break;
    case fn::SetWindowOrg:
    case fn::SetWindowExt:
    case fn::SetViewportOrg:
    case fn::SetViewportExt:
    case fn::OffsetWindowOrg:
    case fn::OffsetViewportOrg:
    case fn::OffsetClipRgn:
        if (words < 2)
            return;
        r.v[0] = a.s(1); // x
        r.v[1] = a.s(0); // y
        break;
    case fn::SaveDC:
    case fn::RestoreDC:
        if (!saveOrRestore(function, a, words, r))
            return;
        break;
    case fn::ScaleWindowExt:
    case fn::ScaleViewportExt:
    case fn::IntersectClipRect:
    case fn::ExcludeClipRect:
        if (words < 4)
            return;
        // x numerator, x denominator, y numerator, y denominator; or left, top, right, bottom
        r.v = {a.s(3), a.s(2), a.s(1), a.s(0)};
        break;
    default:
        return;
    }
    // Window and viewport records also change the parser's own mapping, which the frame
    // rule and the bounds of what is drawn depend on.
    applyMapping(m_dc.map, r);
    emitRecord(r);
}

// Records that set one small value: a mode or the text alignment.
bool Parser::parseMode(quint16 function, const Params &a, qsizetype words, Record &r)
{
    if (words < 1)
        return false;
    r.mode = a.u(0);
    if (function == fn::SetMapMode && (r.mode < mapmode::Text || r.mode > mapmode::Anisotropic))
        return false;
    if (function == fn::SetTextAlign)
        m_dc.textAlign = r.mode;
    return true;
}

bool Parser::saveOrRestore(quint16 function, const Params &a, qsizetype words, Record &r)
{
    if (function == fn::SaveDC) {
        if (qsizetype(m_saved.size()) >= limits::kMaxSaveDepth)
            return false;
        m_saved.push_back(m_dc);
        return true;
    }
    if (words < 1)
        return false;
    // Negative: that many states back. Positive: the state saved by the n-th SAVEDC still on
    // the stack. Anything beyond the saved states is refused, as GDI does.
    const int n = a.s(0);
    const qsizetype depth = qsizetype(m_saved.size());
    const qsizetype drop = n < 0 ? -qsizetype(n) : depth - n + 1;
    if (n == 0 || drop < 1 || drop > depth)
        return false;
    m_dc = m_saved[depth - drop];
    m_saved.resize(depth - drop);
    r.v[0] = qint16(drop);
    return true;
}

void Parser::parseDrawing(quint16 function, const ByteReader &p, qsizetype words)
{
    const Params a{p};
    Record r;
    switch (function) {
    case fn::MoveTo:
    case fn::LineTo:
        if (words < 2)
            return;
        r.op = function == fn::MoveTo ? Op::MoveTo : Op::LineTo;
        r.v[0] = a.s(1);
        r.v[1] = a.s(0);
        if (r.op == Op::LineTo)
            addBounds(m_dc.cpX, m_dc.cpY, r.v[0], r.v[1]);
        m_dc.cpX = r.v[0];
        m_dc.cpY = r.v[1];
        break;
    case fn::Rectangle:
    case fn::Ellipse:
        if (words < 4)
            return;
        r.op = function == fn::Rectangle ? Op::Rectangle : Op::Ellipse;
        r.v = {a.s(3), a.s(2), a.s(1), a.s(0)};
        addBounds(r.v[0], r.v[1], r.v[2], r.v[3]);
        break;
    case fn::RoundRect:
        if (words < 6)
            return;
        r.op = Op::RoundRect;
        r.v = {a.s(5), a.s(4), a.s(3), a.s(2), a.s(1), a.s(0)};
        addBounds(r.v[0], r.v[1], r.v[2], r.v[3]);
        break;
    case fn::Arc:
    case fn::Pie:
    case fn::Chord:
        if (words < 8)
            return;
        r.op = function == fn::Arc ? Op::Arc : function == fn::Pie ? Op::Pie : Op::Chord;
        r.v = {a.s(7), a.s(6), a.s(5), a.s(4), a.s(3), a.s(2), a.s(1), a.s(0)};
        addBounds(r.v[0], r.v[1], r.v[2], r.v[3]);
        break;
    case fn::PatBlt:
    case fn::SetPixel:
    case fn::FloodFill:
    case fn::ExtFloodFill:
        if (!parsePixels(function, a, words, r))
            return;
        break;
    case fn::FillRegion:
    case fn::FrameRegion:
    case fn::PaintRegion:
    case fn::InvertRegion:
        if (!parseRegionDrawing(function, a, words, r))
            return;
        break;
    default:
        return;
    }
    emitRecord(r);
}

// Records that set pixels directly: pattern blits, single pixels and flood fills.
bool Parser::parsePixels(quint16 function, const Params &a, qsizetype words, Record &r)
{
    const ByteReader &p = a.p;
    switch (function) {
    case fn::PatBlt:
        if (words < 6)
            return false;
        r.op = Op::PatBlt;
        r.data = p.u32(0);
        r.v = {a.s(5), a.s(4), a.s(3), a.s(2)}; // x, y, width, height
        addBounds(r.v[0], r.v[1], r.v[0] + r.v[2], r.v[1] + r.v[3]);
        return true;
    case fn::SetPixel:
        if (words < 4)
            return false;
        r.op = Op::SetPixel;
        r.data = color(p.u32(0));
        r.v[0] = a.s(3);
        r.v[1] = a.s(2);
        addBounds(r.v[0], r.v[1], r.v[0] + 1, r.v[1] + 1);
        return true;
    case fn::FloodFill:
    case fn::ExtFloodFill: {
        const int at = function == fn::ExtFloodFill ? 1 : 0; // after the mode
        if (words < at + 4)
            return false;
        r.op = Op::FloodFill;
        r.mode = function == fn::ExtFloodFill && a.u(0) == 1 ? 1 : 0;
        r.data = color(p.u32(2 * at));
        r.v[0] = a.s(at + 3);
        r.v[1] = a.s(at + 2);
        return true;
    }
    default:
        return false;
    }
}

// Records that fill, paint, frame or invert a region object.
bool Parser::parseRegionDrawing(quint16 function, const Params &a, qsizetype words, Record &r)
{
    if (words < (function == fn::FrameRegion ? 4 : function == fn::FillRegion ? 2 : 1))
        return false;
    const Slot *region = slotAt(a.u(0));
    if (!region || region->kind != ObjectKind::Region || region->def < 0)
        return false;
    r.index = quint32(region->def);
    if (function == fn::FillRegion || function == fn::FrameRegion) {
        const Slot *brush = slotAt(a.u(1));
        if (!brush || brush->kind != ObjectKind::Brush || brush->def < 0)
            return false;
        r.data = quint32(brush->def);
    }
    r.op = function == fn::FillRegion    ? Op::FillRegion
           : function == fn::FrameRegion ? Op::FrameRegion
           : function == fn::PaintRegion ? Op::PaintRegion
                                         : Op::InvertRegion;
    if (function == fn::FrameRegion) {
        r.v[0] = a.s(3); // width
        r.v[1] = a.s(2); // height
    }
    const QRect box = m_out.regions[r.index].boundingRect();
    addBounds(box.left(), box.top(), box.right() + 1, box.bottom() + 1);
    return true;
}

void Parser::parsePoly(quint16 function, const ByteReader &p, qsizetype words)
{
    if (words < 1)
        return;
    Record r;
    qsizetype polygons = 0;
    qsizetype points = 0;
    qsizetype pointsAt = 0; // word offset of the first point
    if (function == fn::PolyPolygon) {
        polygons = p.u16(0);
        if (polygons == 0 || 1 + polygons > words)
            return;
        for (qsizetype i = 0; i < polygons; ++i)
            points += p.u16(2 + 2 * i);
        pointsAt = 1 + polygons;
    } else {
        points = p.u16(0);
        pointsAt = 1;
    }
    // The points must fit in the record, and in what the file may keep in all.
    if (points < 1 || pointsAt + 2 * points > words ||
        qsizetype(m_out.points.size()) + points > limits::kMaxPoints)
        return;
    if (function == fn::PolyPolygon) {
        if (qsizetype(m_out.polygonSizes.size()) + polygons > limits::kMaxPoints)
            return;
        r.op = Op::PolyPolygon;
        r.index = quint32(m_out.polygonSizes.size());
        r.count = quint32(polygons);
        r.data = quint32(m_out.points.size());
        for (qsizetype i = 0; i < polygons; ++i)
            m_out.polygonSizes.push_back(p.u16(2 + 2 * i));
    } else {
        r.op = function == fn::Polygon ? Op::Polygon : Op::Polyline;
        r.index = quint32(m_out.points.size());
        r.count = quint32(points);
    }
    qint16 minX = 32767, minY = 32767, maxX = -32768, maxY = -32768;
    for (qsizetype i = 0; i < points; ++i) {
        const qsizetype at = 2 * (pointsAt + 2 * i);
        const Point16 pt{p.s16(at), p.s16(at + 2)};
        minX = std::min(minX, pt.x);
        maxX = std::max(maxX, pt.x);
        minY = std::min(minY, pt.y);
        maxY = std::max(maxY, pt.y);
        m_out.points.push_back(pt);
    }
    addBounds(minX, minY, maxX, maxY);
    emitRecord(r);
}

void Parser::parseEscape(const ByteReader &p, qsizetype words)
{
    if (words < 2)
        return;
    const quint16 function = p.u16(0);
    const quint16 bytes = p.u16(2);
    if (4 + qsizetype(bytes) > 2 * words)
        return; // an escape longer than its record
    Record r;
    switch (function) {
    case escape::SetLineCap:
    case escape::SetLineJoin:
    case escape::SetMiterLimit: {
        if (bytes < 2)
            return;
        const qint32 value = bytes >= 4 ? p.s32(4) : p.s16(4);
        if (function == escape::SetMiterLimit) {
            r.op = Op::SetMiterLimit;
            r.data = quint32(std::clamp(value, 1, 1000));
        } else {
            if (value < 0 || value > 2)
                return;
            r.op = function == escape::SetLineCap ? Op::SetLineCap : Op::SetLineJoin;
            r.mode = quint16(value);
        }
        break;
    }
    default:
        return; // comments, SETABORTPROC and every other escape: nothing to draw
    }
    emitRecord(r);
}

} // namespace lumora::picture::wmf::detail
