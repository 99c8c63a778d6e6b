#include "picture/wmf/wmfparser.h"

#include "base/runtimeerror.h"
#include "base/twipscale.h"
#include "picture/wmf/wmflimits.h"

namespace lumora::picture::wmf {

ParsedWmf parseWmf(QByteArrayView bytes)
{
    return detail::Parser(bytes).run();
}

namespace detail {

namespace {
// A logical unit of a file without a placeable header is one pixel at 96 per inch.
constexpr double kStandardUnitsPerInch = 96.0;
constexpr double kTwipsPerStandardUnit = kTwipsPerInch / kStandardUnitsPerInch;
} // namespace

Parser::Parser(QByteArrayView bytes)
    : m_file(reinterpret_cast<const uchar *>(bytes.data()), bytes.size())
{
}

void Parser::refuse()
{
    throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
}

ParsedWmf Parser::run()
{
    readHeader();
    readRecords();
    computeFrame();
    return std::move(m_out);
}

void Parser::readHeader()
{
    qsizetype at = 0;
    if (m_file.has(0, 4) && m_file.u32(0) == kPlaceableKey) {
        if (!m_file.has(0, kPlaceableHeaderBytes))
            refuse();
        m_placeable = true;
        for (int i = 0; i < 4; ++i)
            m_box[i] = m_file.s16(6 + 2 * i);
        m_unitsPerInch = m_file.u16(14);
        // The checksum (offset 20) is not checked: many writers get it wrong.
        if (m_unitsPerInch == 0 || m_box[2] == m_box[0] || m_box[3] == m_box[1])
            refuse();
        at = kPlaceableHeaderBytes;
    }
    if (!m_file.has(at, kStandardHeaderBytes))
        refuse();
    const quint16 type = m_file.u16(at);
    const quint16 headerWords = m_file.u16(at + 2);
    const quint16 version = m_file.u16(at + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        refuse();
    // The object count (at + 10) is a hint only: slots grow as objects are created, up to
    // limits::kMaxObjectSlots, so that a wrong count cannot shift later indices.
    m_slots.reserve(std::min<int>(m_file.u16(at + 10), 1024));
    m_recordsStart = at + kStandardHeaderBytes;

    m_out.mapping.frameUnitsPerInch = m_placeable ? m_unitsPerInch : kStandardUnitsPerInch;
    MappingState initial;
    if (m_placeable) {
        // A player of placeable files maps the bounding box onto the target until the file
        // sets a window of its own.
        initial.setWindowOrg(m_box[0], m_box[1]);
        initial.setWindowExt(double(m_box[2]) - m_box[0], double(m_box[3]) - m_box[1]);
    }
    m_out.initialState = initial;
    m_dc.map = initial;
}

void Parser::readRecords()
{
    qsizetype offset = m_recordsStart;
    qsizetype count = 0;
    bool damaged = false;
    while (m_file.has(offset, kRecordHeaderBytes)) {
        const quint32 words = m_file.u32(offset);
        const quint16 function = m_file.u16(offset + 4);
        if (function == fn::Eof)
            break;
        if (words < 3 || !m_file.has(offset, qint64(words) * 2)) {
            damaged = true;
            break;
        }
        if (++count > limits::kMaxRecords)
            break;
        const qsizetype bytes = qsizetype(words) * 2;
        const ByteReader params =
            m_file.sub(offset + kRecordHeaderBytes, bytes - kRecordHeaderBytes);
        dispatch(function, params, (bytes - kRecordHeaderBytes) / 2);
        offset += bytes;
    }
    if (damaged && !m_sawDrawing)
        refuse();
}

void Parser::dispatch(quint16 function, const ByteReader &p, qsizetype words)
{
    if (isStateRecord(function))
        parseState(function, p, words);
    else if (isDrawingRecord(function))
        parseDrawing(function, p, words);
    else if (isPolyRecord(function))
        parsePoly(function, p, words);
    else if (function == fn::Escape)
        parseEscape(p, words);
    else if (isObjectRecord(function))
        parseObject(function, p, words);
    else if (isBitmapRecord(function))
        parseBitmap(function, p, words);
    else if (isTextRecord(function))
        parseText(function, p, words);
    // Unknown records and those never acted on (palette animation, mapper flags, layout,
    // justification) are skipped by their size.
}

void Parser::computeFrame()
{
    const MappingState &w0 = m_sawDrawing ? m_firstDrawMap : m_dc.map;
    if (!w0.isFixed() && !w0.viewportExtSet && w0.windowExtSet) {
        m_out.mapping.viewport = QRectF(w0.winOrgX, w0.winOrgY, w0.winExtX, w0.winExtY);
        m_out.mapping.hasViewport = true;
    }
    const AxisMap map = w0.logicalToFrame(m_out.mapping);
    const QPointF origin = map.map(w0.winOrgX, w0.winOrgY);
    const auto windowFrame = [&] {
        const QPointF end = map.map(w0.winOrgX + w0.winExtX, w0.winOrgY + w0.winExtY);
        return QRectF(origin, QSizeF(end.x() - origin.x(), end.y() - origin.y()));
    };

    if (m_placeable) {
        const double width = std::abs(double(m_box[2]) - m_box[0]);
        const double height = std::abs(double(m_box[3]) - m_box[1]);
        // Anisotropic and isotropic files: the window in effect when drawing starts fills the
        // picture. Fixed map modes: their physical unit, from the window origin.
        m_out.frame = w0.isFixed() ? QRectF(origin, QSizeF(width, height)) : windowFrame();
        m_out.naturalTwips =
            QSizeF(width * kTwipsPerInch / m_unitsPerInch, height * kTwipsPerInch / m_unitsPerInch);
    } else if (!w0.isFixed() && w0.windowExtSet) {
        // Without a placeable header: the window extent at 96 units per inch, ...
        m_out.frame = windowFrame();
        m_out.naturalTwips = QSizeF(std::abs(w0.winExtX) * kTwipsPerStandardUnit,
                                    std::abs(w0.winExtY) * kTwipsPerStandardUnit);
    } else if (!w0.isFixed() && w0.viewportExtSet) {
        // ... else the viewport extent, a logical unit being one viewport unit, ...
        m_out.frame = QRectF(w0.vpOrgX, w0.vpOrgY, w0.vpExtX, w0.vpExtY);
        m_out.naturalTwips = QSizeF(std::abs(w0.vpExtX) * kTwipsPerStandardUnit,
                                    std::abs(w0.vpExtY) * kTwipsPerStandardUnit);
    } else {
        // ... else the bounds of what is drawn (fixed map modes always take this rule).
        if (!m_hasBounds)
            refuse();
        QRectF bounds = m_bounds;
        if (bounds.width() < 1)
            bounds.setWidth(1);
        if (bounds.height() < 1)
            bounds.setHeight(1);
        m_out.frame = bounds;
        m_out.naturalTwips =
            QSizeF(bounds.width() * kTwipsPerStandardUnit, bounds.height() * kTwipsPerStandardUnit);
    }
    if (!(std::abs(m_out.frame.width()) > 1e-9) || !(std::abs(m_out.frame.height()) > 1e-9) ||
        !std::isfinite(m_out.frame.width()) || !std::isfinite(m_out.frame.height()))
        refuse();
}

void Parser::emitRecord(const Record &r)
{
    if (isDrawing(r.op) && !m_sawDrawing) {
        m_sawDrawing = true;
        m_firstDrawMap = m_dc.map;
    }
    m_out.records.push_back(r);
}

void Parser::addBounds(double left, double top, double right, double bottom)
{
    if (m_placeable)
        return;
    const AxisMap map = m_dc.map.logicalToFrame(m_out.mapping);
    const QRectF r = QRectF(map.map(left, top), map.map(right, bottom)).normalized();
    if (!std::isfinite(r.width()) || !std::isfinite(r.height()))
        return;
    if (!m_hasBounds) {
        m_bounds = r;
    } else {
        m_bounds.setCoords(std::min(m_bounds.left(), r.left()), std::min(m_bounds.top(), r.top()),
                           std::max(m_bounds.right(), r.right()),
                           std::max(m_bounds.bottom(), r.bottom()));
    }
    m_hasBounds = true;
}

const std::vector<QRgb> &Parser::selectedPalette() const
{
    static const std::vector<QRgb> kNone;
    return m_dc.palette >= 0 ? m_palettes[m_dc.palette] : kNone;
}

QRgb Parser::color(quint32 colorRef) const
{
    // 0x01 in the high byte: an index into the selected palette ([MS-WMF] 2.2.2.8).
    if ((colorRef >> 24) == 0x01) {
        const quint16 index = colorRef & 0xFFFF;
        if (m_dc.palette >= 0 && index < m_palettes[m_dc.palette].size())
            return m_palettes[m_dc.palette][index];
        return 0xff000000;
    }
    return qRgb(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

} // namespace detail
} // namespace lumora::picture::wmf
