// The player's text records: TEXTOUT and EXTTEXTOUT with alignment, advances, opaque and
// clipping rectangles, escapement and the current position.

#include "picture/wmf/wmfcharset.h"
#include "picture/wmf/wmflimits.h"
#include "picture/wmf/wmfplayer.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPaintEngine>
#include <cmath>

namespace lumora::picture::wmf {

namespace {

constexpr int kOpaque = 2;
// The default font (none selected, or height 0) at the natural size: GDI's system font.
constexpr double kDefaultFontPixels = 16.0;
constexpr double kMinFontPixels = 0.5;
constexpr size_t kMaxCachedFonts = 256;
constexpr double kStretchSnap = 0.03;
// Glyphs up to this size are drawn from the painter's own glyph cache.
constexpr double kPainterCachedGlyphPixels = 64.0;
// Larger ones, up to this size, from the masks the font engine keeps (a quarter of a megabyte
// at most each); larger still, as outlines.
constexpr double kMaxMaskGlyphPixels = 512.0;

constexpr int kTaUpdateCp = 1;
constexpr int kTaRight = 2;
constexpr int kTaCenter = 6;
constexpr int kTaBottom = 8;
constexpr int kTaBaseline = 24;

QFont::StyleHint styleHint(quint8 pitchAndFamily)
{
    switch (pitchAndFamily >> 4) {
    case 1:
        return QFont::Serif;
    case 2:
        return QFont::SansSerif;
    case 3:
        return QFont::TypeWriter;
    case 4:
        return QFont::Cursive;
    case 5:
        return QFont::Decorative;
    default:
        return QFont::AnyStyle;
    }
}

// Local x is stretched: by the picture's own aspect, or to the font's asked-for width.
double textStretch(const FontDef &def, double averageWidth, double sx, double sy)
{
    double stretch = sx / sy;
    if (def.width != 0 && averageWidth > 0)
        stretch = std::abs(def.width) * sx / averageWidth;
    stretch = std::clamp(stretch, 0.05, 20.0);
    if (std::abs(stretch - 1.0) < kStretchSnap)
        stretch = 1.0; // rounding of the target size; unscaled glyphs draw from the cache
    return stretch;
}

} // namespace

TextLayout layoutText(const std::vector<double> &advance, const std::vector<qint32> &dy,
                      double dyScale, int textAlign, double ascent, double descent)
{
    TextLayout out;
    for (double a : advance)
        out.width += a;
    const int horizontal = textAlign & kTaCenter;
    out.left = horizontal == kTaRight ? -out.width : horizontal == kTaCenter ? -out.width / 2 : 0;
    const int vertical = textAlign & kTaBaseline;
    out.baseline = vertical == 0 ? ascent : vertical == kTaBottom ? -descent : 0.0;
    out.positions.resize(qsizetype(advance.size()));
    double x = out.left, y = out.baseline;
    for (size_t i = 0; i < advance.size(); ++i) {
        out.positions[qsizetype(i)] = QPointF(x, y);
        x += advance[i];
        if (!dy.empty())
            y -= dy[i] * dyScale; // ETO_PDY: upwards for positive values
    }
    return out;
}

size_t Player::FontKeyHash::operator()(const FontKey &k) const
{
    return qHashMulti(0, k.face, k.pixels16, k.weight, k.pitchAndFamily, k.italic, k.symbol,
                      k.cellHeight);
}

const Player::CachedFont &Player::fontFor(double pixels)
{
    const FontDef def = m_dc.font >= 0 ? m_wmf.fonts[m_dc.font] : FontDef{};
    // Text of the Symbol font was turned into Unicode when it was read (wmfcharset.cpp): a
    // Unicode serif font draws it, where a font named Symbol may map only its own encoding.
    const bool symbol = usesSymbolEncoding(def.charSet, def.face);
    FontKey key{.face = def.face,
                .pixels16 = std::llround(pixels * 16),
                .weight = def.weight,
                .pitchAndFamily = def.pitchAndFamily,
                .italic = def.italic,
                .symbol = symbol,
                .cellHeight = def.height > 0};
    if (auto it = m_fonts.find(key); it != m_fonts.end())
        return it->second;
    if (m_fonts.size() >= kMaxCachedFonts)
        m_fonts.clear();
    QFont font;
    font.setFamilies(symbol ? fontFamilies(QStringLiteral("Times New Roman"), 0)
                            : fontFamilies(def.face, def.pitchAndFamily));
    font.setStyleHint(symbol ? QFont::Serif : styleHint(def.pitchAndFamily));
    font.setFixedPitch((def.pitchAndFamily & 3) == 1);
    font.setWeight(QFont::Weight(def.weight > 0 ? std::clamp<int>(def.weight, 100, 900) : 400));
    font.setItalic(def.italic);
    font.setKerning(false);
    // Unhinted outlines scale smoothly, so text keeps its place at every size.
    font.setHintingPreference(QFont::PreferNoHinting);
    QPaintDevice *device = m_painter.device();
    const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96.0;
    font.setPointSizeF(pixels * 72.0 / dpi);
    QFontMetricsF metrics(font, device);
    if (def.height > 0) {
        // A positive height is the cell (ascent and descent); a negative one the em.
        const double cell = metrics.ascent() + metrics.descent();
        if (cell > 0) {
            font.setPointSizeF(pixels * pixels / cell * 72.0 / dpi);
            metrics = QFontMetricsF(font, device);
        }
    }
    CachedFont cached{font,
                      QRawFont::fromFont(font),
                      metrics.ascent(),
                      metrics.descent(),
                      metrics.averageCharWidth(),
                      metrics.underlinePos(),
                      metrics.strikeOutPos(),
                      metrics.lineWidth()};
    return m_fonts.emplace(std::move(key), std::move(cached)).first->second;
}

void Player::drawText(const TextRun &run)
{
    const FontDef def = m_dc.font >= 0 ? m_wmf.fonts[m_dc.font] : FontDef{};
    const bool updateCp = m_dc.textAlign & kTaUpdateCp;
    const QPointF ref = map(updateCp ? m_dc.cpX : run.x, updateCp ? m_dc.cpY : run.y);
    const QRectF box = mapRect(run.rect[0], run.rect[1], run.rect[2], run.rect[3]);

    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (run.options & eto::Opaque)
        fillTextBox(box);
    const qsizetype n = std::min<qsizetype>(run.text.size(), limits::kMaxGlyphsPerText);
    if (n == 0 || !spend(double(n) * limits::kWorkPerGlyph))
        return;

    const double sx = std::abs(m_map.ax), sy = std::abs(m_map.ay);
    const double pixels =
        def.height != 0 ? std::abs(double(def.height)) * sy : kDefaultFontPixels * m_zoom;
    if (!(pixels >= kMinFontPixels && pixels <= limits::kMaxFontPixels) || sx <= 0)
        return;
    const CachedFont &cached = fontFor(pixels);
    const double stretch = textStretch(def, cached.averageWidth, sx, sy);
    const QString text = run.text.first(n);
    const TextGlyphs glyphs = glyphsFor(cached, text);
    const TextLayout layout = layoutText(textAdvances(run, text, glyphs, cached, sx, stretch),
                                         run.dy, sy, m_dc.textAlign, cached.ascent, cached.descent);

    QTransform local;
    local.translate(ref.x(), ref.y());
    local.rotate(-def.escapement / 10.0); // counter-clockwise on the device
    local.scale(stretch, 1.0);

    if (run.options & eto::Clipped)
        m_painter.setClipRegion(m_dc.clip.intersected(box.toAlignedRect()));
    const QTransform saved = m_painter.transform();
    m_painter.setTransform(local, true);
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    if (m_dc.bkMode == kOpaque) {
        m_painter.fillRect(QRectF(layout.left, layout.baseline - cached.ascent, layout.width,
                                  cached.ascent + cached.descent),
                           QColor::fromRgb(m_dc.bkColor));
    }
    m_painter.setPen(QColor::fromRgb(m_dc.textColor));
    paintGlyphs(cached, text, glyphs, layout.positions, pixels);
    if (def.underline || def.strikeOut)
        drawDecorations(def, cached, layout, ref.y());
    m_painter.setTransform(saved);
    if (run.options & eto::Clipped)
        m_painter.setClipRegion(m_dc.clip);
    if (updateCp)
        moveCurrentPosition(local, ref, layout.width);
}

void Player::fillTextBox(const QRectF &box)
{
    const QRectF visible = box & m_clipBounds;
    if (!visible.isEmpty() && spend(visible.width() * visible.height())) {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.fillRect(box, QColor::fromRgb(m_dc.bkColor));
    }
}

// Glyphs from the font itself when it has them all (one glyph run, no shaping); else the
// text is drawn one character at a time, which lets Qt find the missing ones in other fonts.
Player::TextGlyphs Player::glyphsFor(const CachedFont &cached, const QString &text)
{
    TextGlyphs out;
    out.direct = cached.raw.isValid();
    if (out.direct) {
        out.indexes = cached.raw.glyphIndexesForString(text);
        out.direct = out.indexes.size() == text.size() &&
                     std::none_of(out.indexes.cbegin(), out.indexes.cend(),
                                  [](quint32 g) { return g == 0; });
    }
    return out;
}

// The advance of each character in local units: the file's own, or the font's plus the
// character extra. Logical units are `sx` device pixels, `stretch` local ones.
std::vector<double> Player::textAdvances(const TextRun &run, const QString &text,
                                         const TextGlyphs &glyphs, const CachedFont &cached,
                                         double sx, double stretch) const
{
    const qsizetype n = text.size();
    const double extra = m_dc.charExtra * sx / stretch;
    std::vector<double> advance(n);
    if (!run.dx.empty()) {
        for (qsizetype i = 0; i < n; ++i)
            advance[i] = run.dx[i] * sx / stretch;
    } else if (glyphs.direct) {
        const QList<QPointF> natural = cached.raw.advancesForGlyphIndexes(glyphs.indexes);
        for (qsizetype i = 0; i < n; ++i)
            advance[i] = natural[i].x() + extra;
    } else {
        const QFontMetricsF metrics(cached.font, m_painter.device());
        for (qsizetype i = 0; i < n; ++i)
            advance[i] = metrics.horizontalAdvance(text[i]) + extra;
    }
    return advance;
}

void Player::paintGlyphs(const CachedFont &cached, const QString &text, const TextGlyphs &glyphs,
                         const QList<QPointF> &positions, double pixels)
{
    if (glyphs.direct && drawGlyphMasks(cached.raw, glyphs.indexes, positions, pixels)) {
        // drawn
    } else if (glyphs.direct) {
        QGlyphRun glyphRun;
        glyphRun.setRawFont(cached.raw);
        glyphRun.setGlyphIndexes(glyphs.indexes);
        glyphRun.setPositions(positions);
        m_painter.drawGlyphRun(QPointF(0, 0), glyphRun);
    } else {
        m_painter.setFont(cached.font);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isSurrogate() || c.unicode() < 0x20)
                continue; // control characters and broken pairs take their advance only
            m_painter.drawText(positions[i], QString(c));
        }
    }
}

// Underline and strike-out as GDI draws them: one bar in the text colour along the whole run,
// spaces included, placed and sized by the font's metrics, at least a pixel thick and on whole
// pixels (the painter's transform turns and stretches it with the text).
void Player::drawDecorations(const FontDef &def, const CachedFont &cached, const TextLayout &layout,
                             double refY)
{
    const double thickness = std::max(1.0, std::round(cached.lineWidth));
    const auto bar = [&](double top) {
        top = std::round(refY + top) - refY;
        m_painter.fillRect(QRectF(layout.left, top, layout.width, thickness),
                           QColor::fromRgb(m_dc.textColor));
    };
    if (def.underline) // at least a pixel clear of the baseline, as small fonts need
        bar(layout.baseline + std::max(1.0, cached.underlinePos));
    if (def.strikeOut)
        bar(layout.baseline - cached.strikeOutPos - thickness / 2);
}

// The current position moves to the end of the text (the start, right-aligned); centred text
// leaves it where it is.
void Player::moveCurrentPosition(const QTransform &local, const QPointF &ref, double width)
{
    const int horizontal = m_dc.textAlign & kTaCenter;
    if (horizontal == kTaCenter)
        return;
    const double along = horizontal == kTaRight ? -width : width;
    const QPointF end = local.map(QPointF(along, 0));
    m_dc.cpX += (end.x() - ref.x()) / m_map.ax;
    m_dc.cpY += (end.y() - ref.y()) / m_map.ay;
}

// Glyphs too large for the painter's glyph cache would be filled as outlines at every render.
// The font engine keeps their rasterised masks instead, which blend several times faster; on
// a raster device only, and only where the glyphs stand upright and unstretched (a mask moves
// by whole pixels, which at this size nobody sees).
bool Player::drawGlyphMasks(const QRawFont &font, const QList<quint32> &glyphs,
                            const QList<QPointF> &positions, double pixels)
{
    const QTransform &toDevice = m_painter.transform();
    if (pixels <= kPainterCachedGlyphPixels || pixels > kMaxMaskGlyphPixels ||
        toDevice.type() > QTransform::TxTranslate || !m_painter.paintEngine() ||
        m_painter.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    const QRgb color = m_dc.textColor;
    QList<QRgb> ramp(256);
    for (int a = 0; a < 256; ++a)
        ramp[a] = qPremultiply(qRgba(qRed(color), qGreen(color), qBlue(color), a));
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        QImage mask = font.alphaMapForGlyph(glyphs[i], QRawFont::PixelAntialiasing);
        if (mask.isNull())
            continue; // a blank glyph
        if (mask.format() != QImage::Format_Alpha8)
            mask = mask.convertToFormat(QImage::Format_Alpha8);
        QImage tinted(mask.constBits(), mask.width(), mask.height(), mask.bytesPerLine(),
                      QImage::Format_Indexed8);
        tinted.setColorTable(ramp);
        const QRectF box = font.boundingRect(glyphs[i]);
        const QPointF at(std::round(positions[i].x() + box.left() + toDevice.dx()) - toDevice.dx(),
                         std::round(positions[i].y() + box.top() + toDevice.dy()) - toDevice.dy());
        m_painter.drawImage(at, tinted);
    }
    return true;
}

} // namespace lumora::picture::wmf
