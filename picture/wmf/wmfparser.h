#pragma once

// Reads a metafile once into the compact record list (wmfrecords.h), checking every count,
// size and index against its record and the file, and copying what it keeps.
//
// Damage: reading stops at the first record whose size is under 3 words or runs past the end
// of the file (or at limits::kMaxRecords); the records before it are kept, as other readers
// do, when at least one of them draws. Otherwise the file is refused. A record that is whole
// but wrong inside (an object index out of range or empty, a point count that does not fit,
// a bitmap that claims more than it carries) is skipped alone, as GDI fails that one call.

#include "picture/wmf/wmfrecords.h"

#include <QByteArrayView>
#include <queue>

namespace lumora::picture::wmf {

// Throws RuntimeError(errors::InvalidPicture) for a file that cannot be drawn.
ParsedWmf parseWmf(QByteArrayView bytes);

namespace detail {

class Parser final {
public:
    explicit Parser(QByteArrayView bytes);
    ParsedWmf run();

private:
    // The part of the device context the parser follows: what later records depend on.
    struct Dc {
        MappingState map;
        qint32 font = -1;    // selected font definition
        qint32 palette = -1; // selected palette (index in m_palettes)
        double cpX = 0, cpY = 0;
        quint16 textAlign = 0;
    };
    struct Slot {
        ObjectKind kind = ObjectKind::Other;
        qint32 def = -1; // definition in the kind's pool, -1 for objects never drawn
        bool used = false;
    };

    // Parameters are stored last first: reads word `i` counted from the end of the usual form.
    struct Params {
        const ByteReader &p;
        qint16 s(int word) const { return p.s16(2 * word); }
        quint16 u(int word) const { return p.u16(2 * word); }
    };

    [[noreturn]] static void refuse();
    void readHeader();
    void readRecords();
    void dispatch(quint16 function, const ByteReader &p, qsizetype words);
    void computeFrame();

    // wmfparsestate.cpp: state and drawing records.
    void parseState(quint16 function, const ByteReader &p, qsizetype words);
    void parseDrawing(quint16 function, const ByteReader &p, qsizetype words);
    bool parseMode(quint16 function, const Params &a, qsizetype words, Record &r);
    bool saveOrRestore(quint16 function, const Params &a, qsizetype words, Record &r);
    bool parsePixels(quint16 function, const Params &a, qsizetype words, Record &r);
    bool parseRegionDrawing(quint16 function, const Params &a, qsizetype words, Record &r);
    void parsePoly(quint16 function, const ByteReader &p, qsizetype words);
    void parseEscape(const ByteReader &p, qsizetype words);
    void emitRecord(const Record &r);
    void addBounds(double left, double top, double right, double bottom);

    // wmfparseobjects.cpp: objects and bitmaps.
    void parseObject(quint16 function, const ByteReader &p, qsizetype words);
    void selectOrDelete(quint16 function, const ByteReader &p, qsizetype words);
    // Each returns true when it added a definition (`room`: the definitions limit allows one).
    bool createPenBrushOrFont(quint16 function, const ByteReader &p, qsizetype words, bool room);
    bool createPaletteOrRegion(quint16 function, const ByteReader &p, qsizetype words, bool room);
    bool createPatternBrush(quint16 function, const ByteReader &p, qsizetype words, bool room);
    void parseBitmap(quint16 function, const ByteReader &p, qsizetype words);
    void addSlot(ObjectKind kind, qint32 def);
    const Slot *slotAt(quint16 index) const;
    void selectObject(quint16 index);
    void deleteObject(quint16 index);
    qint32 addBitmap(QImage image, bool monochrome);
    qint64 bitmapBudget() const;
    const std::vector<QRgb> &selectedPalette() const;
    QRgb color(quint32 colorRef) const;

    // wmfparsetext.cpp: text.
    void parseText(quint16 function, const ByteReader &p, qsizetype words);
    QString decodeText(QByteArrayView bytes, const FontDef *font, std::vector<qint32> *dx,
                       std::vector<qint32> *dy);
    void addTextBounds(const TextRun &run);

    ByteReader m_file;
    bool m_placeable = false;
    qint16 m_box[4] = {0, 0, 0, 0}; // placeable bounding box: left, top, right, bottom
    quint16 m_unitsPerInch = 0;
    qsizetype m_recordsStart = 0;

    ParsedWmf m_out;
    Dc m_dc;
    std::vector<Dc> m_saved;
    std::vector<Slot> m_slots;
    std::priority_queue<int, std::vector<int>, std::greater<int>> m_freed;
    int m_nextSlot = 0;
    std::vector<std::vector<QRgb>> m_palettes;
    qsizetype m_definitions = 0;
    qsizetype m_paletteEntries = 0;
    qint64 m_bitmapPixels = 0;
    qint64 m_regionRects = 0;
    qsizetype m_textChars = 0;

    bool m_sawDrawing = false;
    MappingState m_firstDrawMap;
    QRectF m_bounds; // of what is drawn, in frame units (for files without a placeable header)
    bool m_hasBounds = false;
};

} // namespace detail
} // namespace lumora::picture::wmf
