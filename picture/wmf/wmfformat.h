#pragma once

// Constants of the Windows Metafile format ([MS-WMF]) and a bounds-checked little-endian reader.

#include <QtEndian>
#include <QtGlobal>

namespace lumora::picture::wmf {

// Record function numbers ([MS-WMF] 2.1.1.1). The high byte is the number of parameter words
// of the record in its usual form, which tells the bitmap records with and without a bitmap.
namespace fn {
inline constexpr quint16 Eof = 0x0000;
inline constexpr quint16 RealizePalette = 0x0035;
inline constexpr quint16 SetPalEntries = 0x0037;
inline constexpr quint16 SetBkMode = 0x0102;
inline constexpr quint16 SetMapMode = 0x0103;
inline constexpr quint16 SetRop2 = 0x0104;
inline constexpr quint16 SetRelAbs = 0x0105;
inline constexpr quint16 SetPolyFillMode = 0x0106;
inline constexpr quint16 SetStretchBltMode = 0x0107;
inline constexpr quint16 SetTextCharExtra = 0x0108;
inline constexpr quint16 RestoreDC = 0x0127;
inline constexpr quint16 InvertRegion = 0x012A;
inline constexpr quint16 PaintRegion = 0x012B;
inline constexpr quint16 SelectClipRegion = 0x012C;
inline constexpr quint16 SelectObject = 0x012D;
inline constexpr quint16 SetTextAlign = 0x012E;
inline constexpr quint16 ResizePalette = 0x0139;
inline constexpr quint16 DibCreatePatternBrush = 0x0142;
inline constexpr quint16 SetLayout = 0x0149;
inline constexpr quint16 DeleteObject = 0x01F0;
inline constexpr quint16 CreatePatternBrush = 0x01F9;
inline constexpr quint16 SetBkColor = 0x0201;
inline constexpr quint16 SetTextColor = 0x0209;
inline constexpr quint16 SetTextJustification = 0x020A;
inline constexpr quint16 SetWindowOrg = 0x020B;
inline constexpr quint16 SetWindowExt = 0x020C;
inline constexpr quint16 SetViewportOrg = 0x020D;
inline constexpr quint16 SetViewportExt = 0x020E;
inline constexpr quint16 OffsetWindowOrg = 0x020F;
inline constexpr quint16 OffsetViewportOrg = 0x0211;
inline constexpr quint16 LineTo = 0x0213;
inline constexpr quint16 MoveTo = 0x0214;
inline constexpr quint16 OffsetClipRgn = 0x0220;
inline constexpr quint16 FillRegion = 0x0228;
inline constexpr quint16 SetMapperFlags = 0x0231;
inline constexpr quint16 SelectPalette = 0x0234;
inline constexpr quint16 CreatePenIndirect = 0x02FA;
inline constexpr quint16 CreateFontIndirect = 0x02FB;
inline constexpr quint16 CreateBrushIndirect = 0x02FC;
inline constexpr quint16 Polygon = 0x0324;
inline constexpr quint16 Polyline = 0x0325;
inline constexpr quint16 ScaleWindowExt = 0x0410;
inline constexpr quint16 ScaleViewportExt = 0x0412;
inline constexpr quint16 ExcludeClipRect = 0x0415;
inline constexpr quint16 IntersectClipRect = 0x0416;
inline constexpr quint16 Ellipse = 0x0418;
inline constexpr quint16 FloodFill = 0x0419;
inline constexpr quint16 Rectangle = 0x041B;
inline constexpr quint16 SetPixel = 0x041F;
inline constexpr quint16 FrameRegion = 0x0429;
inline constexpr quint16 AnimatePalette = 0x0436;
inline constexpr quint16 TextOut = 0x0521;
inline constexpr quint16 PolyPolygon = 0x0538;
inline constexpr quint16 ExtFloodFill = 0x0548;
inline constexpr quint16 RoundRect = 0x061C;
inline constexpr quint16 PatBlt = 0x061D;
inline constexpr quint16 Escape = 0x0626;
inline constexpr quint16 CreateRegion = 0x06FF;
inline constexpr quint16 Arc = 0x0817;
inline constexpr quint16 Pie = 0x081A;
inline constexpr quint16 Chord = 0x0830;
inline constexpr quint16 BitBlt = 0x0922;
inline constexpr quint16 DibBitBlt = 0x0940;
inline constexpr quint16 ExtTextOut = 0x0A32;
inline constexpr quint16 StretchBlt = 0x0B23;
inline constexpr quint16 DibStretchBlt = 0x0B41;
inline constexpr quint16 SetDibToDev = 0x0D33;
inline constexpr quint16 StretchDib = 0x0F43;
inline constexpr quint16 SaveDC = 0x001E;
inline constexpr quint16 CreatePalette = 0x00F7;
} // namespace fn

// The families of records, by function number. The parser reads each family with its own
// code; the fuzzing mutator uses the object families to keep object indices plausible.

// Records that change only the state of the device context: modes, colours, the window and
// viewport, saved states and the clipping rectangle.
constexpr bool isStateRecord(quint16 function)
{
    switch (function) {
    case fn::SetBkMode:
    case fn::SetMapMode:
    case fn::SetRop2:
    case fn::SetPolyFillMode:
    case fn::SetStretchBltMode:
    case fn::SetTextCharExtra:
    case fn::SetTextAlign:
    case fn::SetBkColor:
    case fn::SetTextColor:
    case fn::SetWindowOrg:
    case fn::SetWindowExt:
    case fn::SetViewportOrg:
    case fn::SetViewportExt:
    case fn::OffsetWindowOrg:
    case fn::OffsetViewportOrg:
    case fn::ScaleWindowExt:
    case fn::ScaleViewportExt:
    case fn::SaveDC:
    case fn::RestoreDC:
    case fn::IntersectClipRect:
    case fn::ExcludeClipRect:
    case fn::OffsetClipRgn:
        return true;
    default:
        return false;
    }
}

// Records that draw a region object given by its index.
constexpr bool drawsRegion(quint16 function)
{
    return function == fn::FillRegion || function == fn::PaintRegion ||
           function == fn::FrameRegion || function == fn::InvertRegion;
}

// Records that draw shapes and pixels from a fixed number of parameters, regions included.
constexpr bool isDrawingRecord(quint16 function)
{
    switch (function) {
    case fn::MoveTo:
    case fn::LineTo:
    case fn::Rectangle:
    case fn::RoundRect:
    case fn::Ellipse:
    case fn::Arc:
    case fn::Pie:
    case fn::Chord:
    case fn::PatBlt:
    case fn::SetPixel:
    case fn::FloodFill:
    case fn::ExtFloodFill:
        return true;
    default:
        return drawsRegion(function);
    }
}

// Records that draw a list of points.
constexpr bool isPolyRecord(quint16 function)
{
    return function == fn::Polyline || function == fn::Polygon || function == fn::PolyPolygon;
}

// Records that create an object in the next free slot of the object table.
constexpr bool createsObject(quint16 function)
{
    switch (function) {
    case fn::CreatePenIndirect:
    case fn::CreateBrushIndirect:
    case fn::CreateFontIndirect:
    case fn::CreatePalette:
    case fn::CreateRegion:
    case fn::CreatePatternBrush:
    case fn::DibCreatePatternBrush:
        return true;
    default:
        return false;
    }
}

// Records that select or delete an object given by its index.
constexpr bool selectsOrDeletesObject(quint16 function)
{
    return function == fn::SelectObject || function == fn::DeleteObject ||
           function == fn::SelectPalette || function == fn::SelectClipRegion;
}

// Records that create, select or delete objects.
constexpr bool isObjectRecord(quint16 function)
{
    return createsObject(function) || selectsOrDeletesObject(function);
}

// Records whose first parameter is the index of an object already created.
constexpr bool takesObjectIndex(quint16 function)
{
    return selectsOrDeletesObject(function) || drawsRegion(function);
}

// Records that copy or stretch a bitmap (or, without one, fill with the brush).
constexpr bool isBitmapRecord(quint16 function)
{
    switch (function) {
    case fn::BitBlt:
    case fn::StretchBlt:
    case fn::DibBitBlt:
    case fn::DibStretchBlt:
    case fn::StretchDib:
    case fn::SetDibToDev:
        return true;
    default:
        return false;
    }
}

// Records that draw a string.
constexpr bool isTextRecord(quint16 function)
{
    return function == fn::TextOut || function == fn::ExtTextOut;
}

// Escape functions acted on ([MS-WMF] 2.1.1.17); every other escape is skipped.
namespace escape {
inline constexpr quint16 SetLineCap = 0x0015;
inline constexpr quint16 SetLineJoin = 0x0016;
inline constexpr quint16 SetMiterLimit = 0x0017;
} // namespace escape

// Map modes ([MS-WMF] 2.1.1.16).
namespace mapmode {
inline constexpr int Text = 1;
inline constexpr int LoMetric = 2;
inline constexpr int HiMetric = 3;
inline constexpr int LoEnglish = 4;
inline constexpr int HiEnglish = 5;
inline constexpr int Twips = 6;
inline constexpr int Isotropic = 7;
inline constexpr int Anisotropic = 8;
} // namespace mapmode

inline constexpr quint32 kPlaceableKey = 0x9AC6CDD7u;
inline constexpr int kPlaceableHeaderBytes = 22;
inline constexpr int kStandardHeaderBytes = 18;
inline constexpr int kRecordHeaderBytes = 6; // size (4 bytes, in words) and function (2 bytes)

// A view of bytes whose every read is checked; reads past the end return 0 and clear ok().
class ByteReader final {
public:
    ByteReader() = default;
    ByteReader(const uchar *data, qsizetype size) : m_data(data), m_size(size) {}

    qsizetype size() const { return m_size; }
    const uchar *data() const { return m_data; }
    bool has(qsizetype offset, qsizetype length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }
    quint8 u8(qsizetype offset) const { return has(offset, 1) ? m_data[offset] : fail(); }
    quint16 u16(qsizetype offset) const
    {
        return has(offset, 2) ? qFromLittleEndian<quint16>(m_data + offset) : fail();
    }
    qint16 s16(qsizetype offset) const { return static_cast<qint16>(u16(offset)); }
    quint32 u32(qsizetype offset) const
    {
        return has(offset, 4) ? qFromLittleEndian<quint32>(m_data + offset) : fail();
    }
    qint32 s32(qsizetype offset) const { return static_cast<qint32>(u32(offset)); }
    // The bytes from `offset` to the end (empty when out of range).
    ByteReader from(qsizetype offset) const
    {
        return has(offset, 0) ? ByteReader(m_data + offset, m_size - offset) : ByteReader();
    }
    ByteReader sub(qsizetype offset, qsizetype length) const
    {
        return has(offset, length) ? ByteReader(m_data + offset, length) : ByteReader();
    }
    bool ok() const { return m_ok; }

private:
    quint8 fail() const
    {
        m_ok = false;
        return 0;
    }
    const uchar *m_data = nullptr;
    qsizetype m_size = 0;
    mutable bool m_ok = true;
};

} // namespace lumora::picture::wmf
