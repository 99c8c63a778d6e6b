#pragma once

// The compact, validated form of a metafile: what the parser produces once and the player
// replays at every render. Every index in it has been checked against its pool.

#include "picture/wmf/wmfmapping.h"

#include <QImage>
#include <QRectF>
#include <QRegion>
#include <QSizeF>
#include <QString>
#include <array>
#include <vector>

namespace lumora::picture::wmf {

enum class Op : quint8 {
    // State records.
    SetWindowOrg, // v0 x, v1 y (also the other origin and extent records)
    SetWindowExt,
    SetViewportOrg,
    SetViewportExt,
    OffsetWindowOrg,
    OffsetViewportOrg,
    ScaleWindowExt, // v0 x numerator, v1 x denominator, v2 y numerator, v3 y denominator
    ScaleViewportExt,
    SetMapMode,   // mode
    SaveDC,       //
    RestoreDC,    // v0 number of saved states to drop (1 or more, checked)
    SetBkMode,    // mode
    SetBkColor,   // data QRgb
    SetTextColor, // data QRgb
    SetTextAlign, // mode
    SetPolyFillMode,
    SetRop2,
    SetStretchBltMode,
    SetTextCharExtra,  // v0 extra logical units per character
    IntersectClipRect, // v0..v3 left, top, right, bottom
    ExcludeClipRect,
    OffsetClipRgn,    // v0 x, v1 y
    SelectClipRegion, // index region definition, or count 0 for none (no clipping)
    Select,           // mode ObjectKind, index its definition in the kind's pool
    SetLineCap,       // mode 0 flat, 1 round, 2 square (PostScript numbering)
    SetLineJoin,      // mode 0 miter, 1 round, 2 bevel
    SetMiterLimit,    // data limit
    // Drawing records.
    MoveTo, // v0 x, v1 y
    LineTo,
    Polyline,    // index first point, count points
    Polygon,     // index first point, count points
    PolyPolygon, // index first polygon size, count polygons, data first point
    Rectangle,   // v0..v3 left, top, right, bottom
    RoundRect,   // v0..v3 rectangle, v4 corner width, v5 corner height
    Ellipse,     // v0..v3 rectangle
    Arc,         // v0..v3 rectangle, v4 v5 start radial point, v6 v7 end radial point
    Pie,
    Chord,
    PatBlt,       // v0 x, v1 y, v2 width, v3 height, data raster operation
    SetPixel,     // v0 x, v1 y, data QRgb
    Text,         // index text run
    Bitmap,       // index bitmap, v0..v3 destination x y w h, v4..v7 source x y w h, data rop
    FillRegion,   // index region, data brush definition
    PaintRegion,  // index region
    FrameRegion,  // index region, data brush definition, v0 width, v1 height
    InvertRegion, // index region
    FloodFill,    // v0 x, v1 y, data QRgb, mode 0 up to that border colour, 1 where that colour is
};

// Drawing records are those that change pixels; the others only change the state.
inline bool isDrawing(Op op)
{
    return op > Op::MoveTo;
}

struct Record {
    Op op = Op::SaveDC;
    quint8 flags = 0; // per op: Bitmap kBitmapSourceFromBottom
    quint16 mode = 0; // a small value: mode, alignment, object kind
    std::array<qint16, 8> v{};
    quint32 data = 0;  // colour, raster operation or second pool index
    quint32 index = 0; // first element in a pool
    quint32 count = 0; // elements in the pool
};
static_assert(sizeof(Record) == 32, "records stay compact");

inline constexpr quint8 kBitmapSourceFromBottom = 1; // source y counts from the last row

enum class ObjectKind : quint16 { Pen, Brush, Font, Palette, Region, Other };

struct Point16 {
    qint16 x;
    qint16 y;
};

struct PenDef {
    quint16 style = 0; // PS_* style, end cap and join bits
    qint16 width = 0;  // logical units; 0 is one device pixel
    QRgb color = 0xff000000;
};

struct BrushDef {
    quint16 style = 0; // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, pattern 3 and 5
    quint16 hatch = 0;
    QRgb color = 0xffffffff;
    qint32 bitmap = -1; // pattern bitmap for pattern brushes
};

struct FontDef {
    qint16 height = 0; // < 0 character height, > 0 cell height, 0 default
    qint16 width = 0;
    qint16 escapement = 0; // tenths of a degree, counter-clockwise
    qint16 weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    quint8 charSet = 0;
    quint8 pitchAndFamily = 0;
    QString face;
};

// One picture: a bitmap decoded from the file. A monochrome device bitmap takes its two
// colours from the text and background colours when it is drawn.
struct BitmapDef {
    QImage image;
    bool monochrome = false;
};

struct TextRun {
    QString text;
    std::vector<qint32> dx;       // advance of each character (logical units), or empty
    std::vector<qint32> dy;       // vertical advance of each character (ETO_PDY), or empty
    std::array<qint16, 4> rect{}; // left, top, right, bottom when options ask for it
    qint16 x = 0;
    qint16 y = 0;
    quint16 options = 0; // ETO_OPAQUE 0x2, ETO_CLIPPED 0x4
    qint32 font = -1;    // the font definition selected (for metrics at parse time)
};

// Applies a window, viewport or map-mode record; leaves other records alone.
inline void applyMapping(MappingState &m, const Record &r)
{
    switch (r.op) {
    case Op::SetWindowOrg:
        m.setWindowOrg(r.v[0], r.v[1]);
        break;
    case Op::SetWindowExt:
        m.setWindowExt(r.v[0], r.v[1]);
        break;
    case Op::SetViewportOrg:
        m.setViewportOrg(r.v[0], r.v[1]);
        break;
    case Op::SetViewportExt:
        m.setViewportExt(r.v[0], r.v[1]);
        break;
    case Op::OffsetWindowOrg:
        m.offsetWindowOrg(r.v[0], r.v[1]);
        break;
    case Op::OffsetViewportOrg:
        m.offsetViewportOrg(r.v[0], r.v[1]);
        break;
    case Op::ScaleWindowExt:
        m.scaleWindowExt(r.v[0], r.v[1], r.v[2], r.v[3]);
        break;
    case Op::ScaleViewportExt:
        m.scaleViewportExt(r.v[0], r.v[1], r.v[2], r.v[3]);
        break;
    case Op::SetMapMode:
        m.setMapMode(r.mode);
        break;
    default:
        break;
    }
}

// ETO_* options that the player acts on.
namespace eto {
inline constexpr quint16 Opaque = 0x0002;
inline constexpr quint16 Clipped = 0x0004;
inline constexpr quint16 GlyphIndex = 0x0010;
inline constexpr quint16 Pdy = 0x2000;
} // namespace eto

struct ParsedWmf {
    std::vector<Record> records;
    std::vector<Point16> points;
    std::vector<quint32> polygonSizes;
    std::vector<PenDef> pens;
    std::vector<BrushDef> brushes;
    std::vector<FontDef> fonts;
    std::vector<QRegion> regions; // logical coordinates
    std::vector<BitmapDef> bitmaps;
    std::vector<TextRun> texts;

    MappingContext mapping; // how logical units relate to the frame
    MappingState initialState;
    // The frame, in the units the mapping produces, that is stretched onto the target.
    // Width or height may be negative (the picture is then flipped).
    QRectF frame;
    QSizeF naturalTwips;
};

} // namespace lumora::picture::wmf
