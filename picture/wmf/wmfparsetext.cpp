// The parser's text records.

#include "picture/wmf/wmfcharset.h"
#include "picture/wmf/wmflimits.h"
#include "picture/wmf/wmfparser.h"

#include <cmath>
#include <numeric>

namespace lumora::picture::wmf::detail {

namespace {

// Width of an average character in units of the font height, for the bounds of text only.
constexpr double kAverageCharWidth = 0.55;

// Where a text record keeps its string and the advances of its characters (byte offsets).
struct TextLayout {
    qsizetype count = 0; // bytes of the string
    qsizetype stringAt = 0;
    qsizetype dxAt = -1; // -1: no advances
};

bool readTextOut(const ByteReader &p, qsizetype words, TextRun &run, TextLayout &layout)
{
    if (words < 1)
        return false;
    layout.count = p.u16(0);
    const qsizetype stringWords = (layout.count + 1) / 2;
    if (1 + stringWords + 2 > words)
        return false;
    layout.stringAt = 2;
    run.y = p.s16(2 + 2 * stringWords);
    run.x = p.s16(4 + 2 * stringWords);
    return true;
}

bool readExtTextOut(const ByteReader &p, qsizetype words, TextRun &run, TextLayout &layout)
{
    if (words < 4)
        return false;
    run.y = p.s16(0);
    run.x = p.s16(2);
    const qsizetype count = p.u16(4);
    run.options = p.u16(6);
    qsizetype stringAt = 8;
    if (run.options & (eto::Opaque | eto::Clipped)) {
        if (words < 8)
            return false;
        run.rect = {p.s16(8), p.s16(10), p.s16(12), p.s16(14)};
        stringAt = 16;
    }
    if (stringAt + count > 2 * words)
        return false;
    layout.count = count;
    layout.stringAt = stringAt;
    // Advances follow the string padded to a word; some writers do not pad.
    const qsizetype per = (run.options & eto::Pdy) ? 4 : 2;
    const qsizetype padded = stringAt + count + (count & 1);
    if (count > 0 && padded + per * count <= 2 * words)
        layout.dxAt = padded;
    else if (count > 0 && (count & 1) && stringAt + count + per * count <= 2 * words)
        layout.dxAt = stringAt + count;
    return true;
}

// The advances of each character, with vertical ones when the record has them (ETO_PDY).
void readAdvances(const ByteReader &p, const TextLayout &layout, TextRun &run)
{
    if (layout.dxAt < 0)
        return;
    const qsizetype per = (run.options & eto::Pdy) ? 4 : 2;
    run.dx.resize(layout.count);
    if (per == 4)
        run.dy.resize(layout.count);
    for (qsizetype i = 0; i < layout.count; ++i) {
        run.dx[i] = p.s16(layout.dxAt + per * i);
        if (per == 4)
            run.dy[i] = p.s16(layout.dxAt + per * i + 2);
    }
}
} // namespace

void Parser::parseText(quint16 function, const ByteReader &p, qsizetype words)
{
    TextRun textRun;
    TextLayout layout;
    const bool whole = function == fn::TextOut ? readTextOut(p, words, textRun, layout)
                                               : readExtTextOut(p, words, textRun, layout);
    if (!whole || m_textChars + layout.count > limits::kMaxTextChars)
        return;
    m_textChars += layout.count;
    const FontDef *font = m_dc.font >= 0 ? &m_out.fonts[m_dc.font] : nullptr;
    if (!(textRun.options & eto::GlyphIndex)) { // glyph indices belong to a font we do not have
        const QByteArrayView bytes(reinterpret_cast<const char *>(p.data()) + layout.stringAt,
                                   layout.count);
        readAdvances(p, layout, textRun);
        textRun.text = decodeText(bytes, font, &textRun.dx, &textRun.dy);
    }
    textRun.font = m_dc.font;
    addTextBounds(textRun);
    Record r;
    r.op = Op::Text;
    r.index = quint32(m_out.texts.size());
    m_out.texts.push_back(std::move(textRun));
    emitRecord(r);
}

QString Parser::decodeText(QByteArrayView bytes, const FontDef *font, std::vector<qint32> *dx,
                           std::vector<qint32> *dy)
{
    const int charSet = font ? font->charSet : 0;
    QString text = decodeCharset(bytes, charSet, font ? font->face : QString());
    if (!dx->empty() && text.size() != qsizetype(dx->size())) {
        // Characters of two bytes: the advances are per byte. Share their sum out evenly.
        const qint64 total = std::accumulate(dx->begin(), dx->end(), qint64(0));
        dx->assign(text.size(), text.isEmpty() ? 0 : qint32(total / text.size()));
        dy->clear();
    }
    return text;
}

void Parser::addTextBounds(const TextRun &run)
{
    if (m_placeable && !(m_dc.textAlign & 1))
        return;
    const FontDef *font = run.font >= 0 ? &m_out.fonts[run.font] : nullptr;
    const double height = font && font->height != 0 ? std::abs(double(font->height)) : 12.0;
    const double width = !run.dx.empty() ? std::accumulate(run.dx.begin(), run.dx.end(), 0.0)
                                         : run.text.size() * height * kAverageCharWidth;
    const bool updateCp = m_dc.textAlign & 1;
    const double x = updateCp ? m_dc.cpX : run.x;
    const double y = updateCp ? m_dc.cpY : run.y;
    const int horizontal = m_dc.textAlign & 6; // 0 left, 2 right, 6 centre
    const double left = horizontal == 2 ? x - width : horizontal == 6 ? x - width / 2 : x;
    const int vertical = m_dc.textAlign & 24; // 0 top, 8 bottom, 24 baseline
    const double top = vertical == 0 ? y : vertical == 8 ? y - height : y - height * 0.8;
    if (updateCp && horizontal == 0)
        m_dc.cpX += width;
    else if (updateCp && horizontal == 2)
        m_dc.cpX -= width;
    if (run.options & eto::Opaque)
        addBounds(run.rect[0], run.rect[1], run.rect[2], run.rect[3]);
    if (!run.text.isEmpty()) {
        // Rotated text: the bounds of the turned box.
        const double angle = (font ? font->escapement : 0) * M_PI / 1800.0;
        const double c = std::cos(angle), s = -std::sin(angle);
        double minX = x, maxX = x, minY = y, maxY = y;
        for (const QPointF &corner :
             {QPointF(left, top), QPointF(left + width, top), QPointF(left, top + height),
              QPointF(left + width, top + height)}) {
            const double dx = corner.x() - x, dy = corner.y() - y;
            const double px = x + dx * c - dy * s, py = y + dx * s + dy * c;
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
        addBounds(minX, minY, maxX, maxY);
    }
}

} // namespace lumora::picture::wmf::detail
