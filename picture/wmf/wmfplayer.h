#pragma once

// Replays a parsed metafile onto a QPainter, stretching its frame onto a target rectangle.
// Every render plays the records anew at the target's scale.

#include "picture/wmf/wmfrecords.h"

#include <QBrush>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QRawFont>
#include <array>
#include <unordered_map>

namespace lumora::picture::wmf {

// GDI lights the device pixel that a point's rounded coordinates name, so its one-pixel lines
// are crisp; an anti-aliasing painter would spread a line on a pixel edge over two grey rows.
// Moves points to the centre of the pixel GDI would light; a default one leaves them be.
class PixelSnap final {
public:
    PixelSnap() = default;
    explicit PixelSnap(const QTransform &toDevice);
    QPointF operator()(const QPointF &p) const;
    // A box's corners: GDI leaves out its right and bottom edges, so the outline lies on the
    // last pixels inside them.
    std::array<QPointF, 4> box(const QRectF &r) const;
    bool moves() const { return m_on; }

private:
    bool m_on = false;
    QTransform m_toDevice;
    QTransform m_fromDevice;
};

// Where each character of a text run goes, in the run's own frame: x along the text from the
// reference point, y downwards; the alignment bits (TA_*) place the run around that point.
struct TextLayout {
    QList<QPointF> positions; // each character's origin on the baseline
    double width = 0;         // the sum of the advances
    double left = 0;          // where the first character starts
    double baseline = 0;
};
// `dy` are the upward advances (ETO_PDY) in logical units, `dyScale` pixels per unit.
TextLayout layoutText(const std::vector<double> &advance, const std::vector<qint32> &dy,
                      double dyScale, int textAlign, double ascent, double descent);

class Player final {
public:
    // How ROP2 changes the colours of pen and brush; the rest it does as a raster operation.
    enum class ColorRule { Keep, Black, White, Invert, Skip };

    Player(const ParsedWmf &wmf, QPainter &painter, const QRectF &target);
    // Plays every record, or until the work limit (wmflimits.h) is reached.
    void play();
    // True when playback stopped at the work limit.
    bool exhausted() const { return m_exhausted; }

private:
    // The device context: what SAVEDC saves and RESTOREDC brings back.
    struct Dc {
        MappingState map;
        qint32 pen = -1; // definitions; -1 the default objects
        qint32 brush = -1;
        qint32 font = -1;
        QRgb textColor = 0xff000000;
        QRgb bkColor = 0xffffffff;
        int bkMode = 2;       // OPAQUE
        int polyFillMode = 1; // ALTERNATE
        int rop2 = 13;        // R2_COPYPEN
        int stretchMode = 1;
        int textAlign = 0;
        int charExtra = 0;
        double cpX = 0, cpY = 0;
        QRegion clip;                    // device coordinates, always within the target
        int lineCap = -1, lineJoin = -1; // from escapes; -1 the pen's own
        double miterLimit = 10;
    };
    // What a drawn font depends on: files often create the same font again for every text.
    struct FontKey {
        QString face;
        qint64 pixels16 = 0; // size in sixteenths of a device pixel
        int weight = 400;
        quint8 pitchAndFamily = 0;
        bool italic = false;
        bool symbol = false, cellHeight = false;
        bool operator==(const FontKey &) const = default;
    };
    struct FontKeyHash {
        size_t operator()(const FontKey &k) const;
    };
    struct CachedFont {
        QFont font;
        QRawFont raw; // for glyph runs: one call per text, no shaping
        double ascent = 0, descent = 0, averageWidth = 0;
        // Underline below the baseline, strike-out above it, and their thickness.
        double underlinePos = 0, strikeOutPos = 0, lineWidth = 0;
    };

    void step(const Record &r);
    void stepState(const Record &r);
    void restoreDc(qsizetype drop);
    void stepClip(const Record &r);
    void select(ObjectKind kind, qint32 def);
    void setDcValue(const Record &r);
    void updateMapping();
    void setClip(const QRegion &clip);
    bool spend(double work);

    QPointF map(double x, double y) const { return m_map.map(x, y); }
    QRectF mapRect(double l, double t, double r, double b) const;
    double penWidth() const;
    QPen makePen() const;
    QBrush makeBrush(qint32 def) const;
    QBrush patternBrush(const BitmapDef &bitmap) const;
    bool isHatched() const;
    bool isDashed() const;
    ColorRule beginRop2();
    // Fills and outlines a shape drawn by `draw` with the selected pen and brush. `draw` takes
    // a PixelSnap to pass the points of straight lines through; curves keep theirs.
    template <typename Draw>
    void shape(const QRectF &bounds, bool closed, qsizetype points, Draw draw);
    template <typename Draw> void paintShape(QPen pen, QBrush brush, bool plainColors, Draw draw);
    bool snapsOutline(const QPen &pen) const;
    const QPointF *snapped(const std::vector<QPointF> &points, const PixelSnap &at);

    void drawLine(const Record &r);
    void drawBox(const Record &r);
    void drawPoly(const Record &r);
    void drawPolyPolygon(const Record &r);
    void drawArc(const Record &r);
    void drawPatBlt(const QRectF &rect, quint32 rop, qint32 brush);
    void drawBitmap(const Record &r);
    void drawRegion(const Record &r);
    void drawFloodFill(const Record &r);
    QRegion deviceRegion(const QRegion &logical) const;
    // wmftext.cpp
    struct TextGlyphs {
        QList<quint32> indexes;
        bool direct = false; // the font has every glyph: one glyph run draws them
    };
    void drawText(const TextRun &run);
    void fillTextBox(const QRectF &box);
    static TextGlyphs glyphsFor(const CachedFont &cached, const QString &text);
    std::vector<double> textAdvances(const TextRun &run, const QString &text,
                                     const TextGlyphs &glyphs, const CachedFont &cached, double sx,
                                     double stretch) const;
    void paintGlyphs(const CachedFont &cached, const QString &text, const TextGlyphs &glyphs,
                     const QList<QPointF> &positions, double pixels);
    void drawDecorations(const FontDef &def, const CachedFont &cached, const TextLayout &layout,
                         double refY);
    void moveCurrentPosition(const QTransform &local, const QPointF &ref, double width);
    const CachedFont &fontFor(double pixels);
    bool drawGlyphMasks(const QRawFont &font, const QList<quint32> &glyphs,
                        const QList<QPointF> &positions, double pixels);

    const ParsedWmf &m_wmf;
    QPainter &m_painter;
    QRectF m_target;
    AxisMap m_frameToTarget;
    AxisMap m_map;              // logical to target, for the current state
    double m_zoom = 1.0;        // target pixels per pixel of the natural size
    double m_deviceScale = 1.0; // device pixels per target unit, by the painter's own transform
    QRegion m_base;             // the target within the painter's own clip
    bool m_rasterOps = false;

    Dc m_dc;
    std::vector<Dc> m_saved;
    QRectF m_clipBounds;
    bool m_penDirty = true;
    bool m_brushDirty = true;
    QPen m_pen;
    QBrush m_brush;
    std::vector<QPointF> m_scratch;
    std::vector<QPointF> m_snapped;
    std::unordered_map<FontKey, CachedFont, FontKeyHash> m_fonts;

    double m_work = 0;
    double m_budget = 0;
    bool m_exhausted = false;
};

} // namespace lumora::picture::wmf
