// The parser's object and bitmap records.

#include "picture/wmf/wmfdib.h"
#include "picture/wmf/wmflimits.h"
#include "picture/wmf/wmfparser.h"

#include <algorithm>

namespace lumora::picture::wmf::detail {

namespace {

constexpr quint16 kDibPalColors = 1;
constexpr int kFontRecordFixedBytes = 18;
constexpr int kFaceNameBytes = 32;

// True when a ternary raster operation reads its source ([MS-WMF] 2.1.1.31).
bool usesSource(quint32 rop)
{
    const quint32 code = (rop >> 16) & 0xFF;
    return (((code >> 2) ^ code) & 0x33) != 0;
}

// The DIB at `p` stores rows bottom-up (the usual case).
bool dibIsBottomUp(const ByteReader &p)
{
    return p.u32(0) == 12 || p.s32(8) > 0;
}

BrushDef readBrush(const ByteReader &p, QRgb colour)
{
    BrushDef brush;
    brush.style = p.u16(0);
    brush.color = colour;
    brush.hatch = p.u16(6);
    if (brush.style > 2) // a pattern brush needs a bitmap, which this record cannot carry
        brush.style = 0;
    return brush;
}

FontDef readFont(const ByteReader &p, qsizetype words)
{
    FontDef font;
    font.height = p.s16(0);
    font.width = p.s16(2);
    font.escapement = p.s16(4);
    font.weight = p.s16(8);
    font.italic = p.u8(10) != 0;
    font.underline = p.u8(11) != 0;
    font.strikeOut = p.u8(12) != 0;
    font.charSet = p.u8(13);
    font.pitchAndFamily = p.u8(17);
    const qsizetype faceBytes =
        std::min<qsizetype>(kFaceNameBytes, 2 * words - kFontRecordFixedBytes);
    QByteArrayView face(reinterpret_cast<const char *>(p.data()) + kFontRecordFixedBytes,
                        faceBytes);
    const qsizetype nul = face.indexOf('\0');
    font.face = QString::fromLatin1(nul >= 0 ? face.first(nul) : face).trimmed();
    return font;
}

std::vector<QRgb> readPalette(const ByteReader &p, qsizetype entries)
{
    std::vector<QRgb> palette(entries);
    for (qsizetype i = 0; i < entries; ++i)
        palette[i] = qRgb(p.u8(4 + 4 * i), p.u8(5 + 4 * i), p.u8(6 + 4 * i));
    return palette;
}

struct ScannedRegion {
    QRegion region;
    int rects = 0; // rectangles taken from the scans
};

// The rectangles of a region's scans, at most `maxRects` of them, or its bounding box when it
// has no scans. Reading stops at the first scan that does not fit the record.
ScannedRegion readRegion(const ByteReader &p, qint64 maxRects)
{
    ScannedRegion out;
    const int scans = p.s16(10);
    qsizetype at = 22;
    for (int s = 0; s < scans && p.has(at, 6); ++s) {
        const int count = p.u16(at);
        const int top = p.s16(at + 2), bottom = p.s16(at + 4);
        if (count % 2 != 0 || !p.has(at + 6, 2 * qsizetype(count) + 2))
            break;
        for (int i = 0; i < count / 2; ++i) {
            const int left = p.s16(at + 6 + 4 * i), right = p.s16(at + 8 + 4 * i);
            if (right > left && bottom > top && out.rects < maxRects) {
                out.region += QRect(left, top, right - left, bottom - top);
                ++out.rects;
            }
        }
        at += 6 + 2 * qsizetype(count) + 2;
    }
    if (scans <= 0) { // no scans: the bounding box
        const int l = p.s16(14), t = p.s16(16), r = p.s16(18), b = p.s16(20);
        if (r > l && b > t)
            out.region = QRegion(l, t, r - l, b - t);
    }
    return out;
}

// The bitmap-less form of the blit records has exactly (function >> 8) parameter words and
// a reserved word before the destination height.
bool carriesBitmap(quint16 function, qsizetype words)
{
    return function == fn::StretchDib || function == fn::SetDibToDev || words != (function >> 8);
}

// Reads a bitmap record's raster operation and its destination and source rectangles into
// `r` (v0..v3 destination x y w h, v4..v7 source x y w h). Returns the word where the bitmap
// starts, or -1 for a record too short.
qsizetype readBlit(quint16 function, const ByteReader &p, qsizetype words, bool withBitmap,
                   Record &r)
{
    auto s = [&](int word) { return p.s16(2 * word); };
    if (function == fn::SetDibToDev) {
        if (words < 9)
            return -1;
        r.data = 0x00CC0020; // SRCCOPY
        r.v = {s(8), s(7), s(6), s(5), s(4), s(3), s(6), s(5)};
        return 9;
    }
    const bool stretch =
        function == fn::StretchBlt || function == fn::DibStretchBlt || function == fn::StretchDib;
    const int first = function == fn::StretchDib ? 3 : 2; // after rop (and colour usage)
    const int gap = withBitmap ? 0 : 1;                   // the reserved word
    const int need = first + (stretch ? 8 : 6) + gap;
    if (words < need)
        return -1;
    r.data = p.u32(0);
    if (stretch) {
        // src h, src w, src y, src x, [reserved], dest h, dest w, dest y, dest x
        r.v = {s(first + 7 + gap), s(first + 6 + gap), s(first + 5 + gap), s(first + 4 + gap),
               s(first + 3),       s(first + 2),       s(first + 1),       s(first)};
    } else {
        // src y, src x, [reserved], height, width, dest y, dest x
        const qint16 w = s(first + 3 + gap), h = s(first + 2 + gap);
        r.v = {s(first + 5 + gap), s(first + 4 + gap), w, h, s(first + 1), s(first), w, h};
    }
    return need;
}

} // namespace

void Parser::addSlot(ObjectKind kind, qint32 def)
{
    int index;
    if (!m_freed.empty()) {
        index = m_freed.top();
        m_freed.pop();
    } else if (m_nextSlot < limits::kMaxObjectSlots) {
        index = m_nextSlot++;
    } else {
        return; // the table is full: the object is lost, as GDI's own create would fail
    }
    if (index >= int(m_slots.size()))
        m_slots.resize(index + 1);
    m_slots[index] = {kind, def, true};
}

const Parser::Slot *Parser::slotAt(quint16 index) const
{
    return index < m_slots.size() && m_slots[index].used ? &m_slots[index] : nullptr;
}

void Parser::selectObject(quint16 index)
{
    const Slot *slot = slotAt(index);
    if (!slot || slot->def < 0)
        return;
    Record r;
    r.index = quint32(slot->def);
    switch (slot->kind) {
    case ObjectKind::Pen:
    case ObjectKind::Brush:
    case ObjectKind::Font:
        r.op = Op::Select;
        r.mode = quint16(slot->kind);
        if (slot->kind == ObjectKind::Font)
            m_dc.font = slot->def;
        break;
    case ObjectKind::Region: // selecting a region sets the clipping region
        r.op = Op::SelectClipRegion;
        r.count = 1;
        break;
    default:
        return;
    }
    emitRecord(r);
}

void Parser::deleteObject(quint16 index)
{
    if (!slotAt(index))
        return;
    m_slots[index].used = false;
    m_freed.push(index);
}

qint32 Parser::addBitmap(QImage image, bool monochrome)
{
    if (image.isNull())
        return -1;
    m_bitmapPixels += qint64(image.width()) * image.height();
    m_out.bitmaps.push_back({std::move(image), monochrome});
    return qint32(m_out.bitmaps.size() - 1);
}

qint64 Parser::bitmapBudget() const
{
    return std::min(limits::kMaxBitmapPixels, limits::kMaxTotalBitmapPixels - m_bitmapPixels);
}

void Parser::parseObject(quint16 function, const ByteReader &p, qsizetype words)
{
    if (selectsOrDeletesObject(function))
        return selectOrDelete(function, p, words);
    const bool room = m_definitions < limits::kMaxObjectDefinitions;
    bool defined = false;
    switch (function) {
    case fn::CreatePenIndirect:
    case fn::CreateBrushIndirect:
    case fn::CreateFontIndirect:
        defined = createPenBrushOrFont(function, p, words, room);
        break;
    case fn::CreatePalette:
    case fn::CreateRegion:
        defined = createPaletteOrRegion(function, p, words, room);
        break;
    case fn::CreatePatternBrush:
    case fn::DibCreatePatternBrush:
        defined = createPatternBrush(function, p, words, room);
        break;
    default:
        break;
    }
    if (defined)
        ++m_definitions;
}

void Parser::selectOrDelete(quint16 function, const ByteReader &p, qsizetype words)
{
    if (words < 1)
        return;
    const quint16 index = p.u16(0);
    if (function == fn::SelectObject) {
        selectObject(index);
    } else if (function == fn::DeleteObject) {
        deleteObject(index);
    } else if (const Slot *slot = slotAt(index)) {
        if (function == fn::SelectPalette && slot->kind == ObjectKind::Palette)
            m_dc.palette = slot->def;
        else if (function == fn::SelectClipRegion && slot->kind == ObjectKind::Region)
            selectObject(index);
    }
}

// A record too short is ignored; past the definitions limit the object takes its slot but
// draws nothing, so that the indices of later objects stay right.
bool Parser::createPenBrushOrFont(quint16 function, const ByteReader &p, qsizetype words, bool room)
{
    const ObjectKind kind = function == fn::CreatePenIndirect     ? ObjectKind::Pen
                            : function == fn::CreateBrushIndirect ? ObjectKind::Brush
                                                                  : ObjectKind::Font;
    const qsizetype need = kind == ObjectKind::Pen     ? 5
                           : kind == ObjectKind::Brush ? 4
                                                       : kFontRecordFixedBytes / 2;
    if (words < need)
        return false;
    if (!room) {
        addSlot(kind, -1);
        return false;
    }
    qint32 def = 0;
    if (kind == ObjectKind::Pen) {
        m_out.pens.push_back({p.u16(0), p.s16(2), color(p.u32(6))});
        def = qint32(m_out.pens.size() - 1);
    } else if (kind == ObjectKind::Brush) {
        m_out.brushes.push_back(readBrush(p, color(p.u32(2))));
        def = qint32(m_out.brushes.size() - 1);
    } else {
        m_out.fonts.push_back(readFont(p, words));
        def = qint32(m_out.fonts.size() - 1);
    }
    addSlot(kind, def);
    return true;
}

bool Parser::createPaletteOrRegion(quint16 function, const ByteReader &p, qsizetype words,
                                   bool room)
{
    if (function == fn::CreatePalette) {
        if (words < 2)
            return false;
        const qsizetype entries = p.u16(2);
        if (2 + 2 * entries > words || m_paletteEntries + entries > limits::kMaxPaletteEntries ||
            !room) {
            addSlot(ObjectKind::Palette, -1);
            return false;
        }
        m_paletteEntries += entries;
        m_palettes.push_back(readPalette(p, entries));
        addSlot(ObjectKind::Palette, qint32(m_palettes.size() - 1));
        return true;
    }
    if (words < 11)
        return false;
    if (!room) {
        addSlot(ObjectKind::Region, -1);
        return false;
    }
    const ScannedRegion read = readRegion(
        p, std::min<qint64>(limits::kMaxRegionRects, limits::kMaxTotalRegionRects - m_regionRects));
    m_regionRects += std::max(read.rects, 1);
    m_out.regions.push_back(read.region);
    addSlot(ObjectKind::Region, qint32(m_out.regions.size() - 1));
    return true;
}

bool Parser::createPatternBrush(quint16 function, const ByteReader &p, qsizetype words, bool room)
{
    if (words < 2)
        return false;
    QImage image;
    bool mono = false;
    if (room && function == fn::DibCreatePatternBrush) {
        image = decodeDib(p.from(4), p.u16(2) == kDibPalColors, selectedPalette(), bitmapBudget());
        if (image.isNull() && p.u16(0) == 3) // BS_PATTERN: some writers put a Bitmap16 here
            image = decodeBitmap16(p.from(4), 10, bitmapBudget(), selectedPalette(), &mono);
    } else if (room) {
        // A Bitmap16 whose bits follow 14 bytes of it and 18 reserved bytes.
        image = decodeBitmap16(p, 32, bitmapBudget(), selectedPalette(), &mono);
    }
    const qint32 bitmap = addBitmap(std::move(image), mono);
    if (bitmap < 0) {
        addSlot(ObjectKind::Brush, -1);
        return false;
    }
    BrushDef brush;
    brush.style = 3;
    brush.bitmap = bitmap;
    m_out.brushes.push_back(brush);
    addSlot(ObjectKind::Brush, qint32(m_out.brushes.size() - 1));
    return true;
}

void Parser::parseBitmap(quint16 function, const ByteReader &p, qsizetype words)
{
    const bool withBitmap = carriesBitmap(function, words);
    Record r;
    const qsizetype bitmapWord = readBlit(function, p, words, withBitmap, r);
    if (bitmapWord < 0)
        return;
    const double x = r.v[0], y = r.v[1];
    if (!withBitmap || !usesSource(r.data)) {
        r.op = Op::PatBlt;
        r.v = {r.v[0], r.v[1], r.v[2], r.v[3], 0, 0, 0, 0};
        addBounds(x, y, x + r.v[2], y + r.v[3]);
        emitRecord(r);
        return;
    }
    const bool dibRecord = function == fn::StretchDib || function == fn::SetDibToDev;
    const ByteReader bits = p.from(2 * bitmapWord);
    QImage image;
    bool mono = false;
    if (function == fn::BitBlt || function == fn::StretchBlt) {
        image = decodeBitmap16(bits, 10, bitmapBudget(), selectedPalette(), &mono);
    } else {
        const bool palColors =
            dibRecord && p.u16(function == fn::StretchDib ? 4 : 0) == kDibPalColors;
        image = decodeDib(bits, palColors, selectedPalette(), bitmapBudget());
        if (dibRecord && dibIsBottomUp(bits))
            r.flags |= kBitmapSourceFromBottom;
    }
    const qint32 bitmap = addBitmap(std::move(image), mono);
    if (bitmap < 0)
        return; // damaged, unsupported or over the limits: this record alone is skipped
    r.op = Op::Bitmap;
    r.index = quint32(bitmap);
    addBounds(x, y, x + r.v[2], y + r.v[3]);
    emitRecord(r);
}

} // namespace lumora::picture::wmf::detail
