#pragma once

// Builds small Windows metafiles byte by byte, for the records no generator writes and for
// damaged files. Helpers take arguments in reading order (x before y, left before right) and
// write them in the file's order (last first).

#include "tests/support/dibbuilder.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <initializer_list>

namespace wmftest {

using lumora::testing::dib;
using lumora::testing::put16;
using lumora::testing::put32;

inline quint32 colorRef(QRgb c)
{
    return quint32(qRed(c)) | quint32(qGreen(c)) << 8 | quint32(qBlue(c)) << 16;
}

class WmfBuilder {
public:
    WmfBuilder &placeable(int left, int top, int right, int bottom, int unitsPerInch)
    {
        m_placeable = true;
        m_box = {left, top, right, bottom};
        m_inch = unitsPerInch;
        return *this;
    }
    WmfBuilder &objects(int count)
    {
        m_objects = count;
        return *this;
    }

    // A record with parameter words in file order.
    WmfBuilder &record(quint16 function, std::initializer_list<int> words)
    {
        QByteArray params;
        for (int w : words)
            put16(params, w);
        return recordBytes(function, params);
    }
    WmfBuilder &recordBytes(quint16 function, QByteArray params)
    {
        if (params.size() % 2)
            params.append('\0');
        QByteArray r;
        put32(r, quint32(3 + params.size() / 2));
        put16(r, function);
        m_records += r + params;
        m_maxRecord = std::max<quint32>(m_maxRecord, quint32(3 + params.size() / 2));
        return *this;
    }
    // Bytes appended as they are: damaged records.
    WmfBuilder &raw(const QByteArray &bytes)
    {
        m_records += bytes;
        return *this;
    }

    WmfBuilder &windowOrg(int x, int y) { return record(0x020B, {y, x}); }
    WmfBuilder &windowExt(int x, int y) { return record(0x020C, {y, x}); }
    WmfBuilder &viewportOrg(int x, int y) { return record(0x020D, {y, x}); }
    WmfBuilder &viewportExt(int x, int y) { return record(0x020E, {y, x}); }
    WmfBuilder &mapMode(int mode) { return record(0x0103, {mode}); }
    WmfBuilder &bkMode(int mode) { return record(0x0102, {mode}); }
    WmfBuilder &rop2(int rop) { return record(0x0104, {rop}); }
    WmfBuilder &polyFillMode(int mode) { return record(0x0106, {mode}); }
    WmfBuilder &textAlign(int align) { return record(0x012E, {align}); }
    WmfBuilder &bkColor(QRgb c)
    {
        return record(0x0201, {int(colorRef(c) & 0xFFFF), int(colorRef(c) >> 16)});
    }
    WmfBuilder &textColor(QRgb c)
    {
        return record(0x0209, {int(colorRef(c) & 0xFFFF), int(colorRef(c) >> 16)});
    }
    WmfBuilder &saveDC() { return record(0x001E, {}); }
    WmfBuilder &restoreDC(int n) { return record(0x0127, {n}); }
    WmfBuilder &intersectClip(int l, int t, int r, int b) { return record(0x0416, {b, r, t, l}); }
    WmfBuilder &excludeClip(int l, int t, int r, int b) { return record(0x0415, {b, r, t, l}); }

    WmfBuilder &pen(int style, int width, QRgb c)
    {
        return record(0x02FA, {style, width, 0, int(colorRef(c) & 0xFFFF), int(colorRef(c) >> 16)});
    }
    WmfBuilder &brush(int style, QRgb c, int hatch = 0)
    {
        return record(0x02FC, {style, int(colorRef(c) & 0xFFFF), int(colorRef(c) >> 16), hatch});
    }
    WmfBuilder &font(int height, const QString &face, int weight = 400, bool italic = false,
                     int escapement = 0, int charSet = 0, bool underline = false,
                     bool strikeOut = false)
    {
        QByteArray p;
        for (int v : {height, 0, escapement, escapement, weight})
            put16(p, v);
        p.append(char(italic))
            .append(char(underline))
            .append(char(strikeOut))
            .append(char(charSet));
        p.append(QByteArray(4, '\0'));
        QByteArray name = face.toLatin1();
        name.resize(32, '\0');
        return recordBytes(0x02FB, p + name);
    }
    WmfBuilder &palette(const QList<QRgb> &colors)
    {
        QByteArray p;
        put16(p, 0x0300);
        put16(p, int(colors.size()));
        for (QRgb c : colors)
            p.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c))).append('\0');
        return recordBytes(0x00F7, p);
    }
    WmfBuilder &select(int index) { return record(0x012D, {index}); }
    WmfBuilder &deleteObject(int index) { return record(0x01F0, {index}); }

    WmfBuilder &moveTo(int x, int y) { return record(0x0214, {y, x}); }
    WmfBuilder &lineTo(int x, int y) { return record(0x0213, {y, x}); }
    WmfBuilder &rectangle(int l, int t, int r, int b) { return record(0x041B, {b, r, t, l}); }
    WmfBuilder &ellipse(int l, int t, int r, int b) { return record(0x0418, {b, r, t, l}); }
    WmfBuilder &poly(quint16 function, const QList<QPoint> &points)
    {
        QByteArray p;
        put16(p, int(points.size()));
        for (const QPoint &pt : points) {
            put16(p, pt.x());
            put16(p, pt.y());
        }
        return recordBytes(function, p);
    }
    WmfBuilder &polygon(const QList<QPoint> &points) { return poly(0x0324, points); }
    WmfBuilder &polyline(const QList<QPoint> &points) { return poly(0x0325, points); }
    WmfBuilder &patBlt(int x, int y, int w, int h, quint32 rop)
    {
        return record(0x061D, {int(rop & 0xFFFF), int(rop >> 16), h, w, y, x});
    }
    WmfBuilder &textOut(int x, int y, const QByteArray &text)
    {
        QByteArray p;
        put16(p, int(text.size()));
        p += text;
        if (p.size() % 2)
            p.append('\0');
        put16(p, y);
        put16(p, x);
        return recordBytes(0x0521, p);
    }
    WmfBuilder &extTextOut(int x, int y, const QByteArray &text, int options = 0, QRect rect = {},
                           const QList<int> &dx = {})
    {
        QByteArray p;
        put16(p, y);
        put16(p, x);
        put16(p, int(text.size()));
        put16(p, options);
        if (options & 0x6) {
            put16(p, rect.left());
            put16(p, rect.top());
            put16(p, rect.right() + 1);
            put16(p, rect.bottom() + 1);
        }
        p += text;
        if (p.size() % 2)
            p.append('\0');
        for (int d : dx)
            put16(p, d);
        return recordBytes(0x0A32, p);
    }
    // STRETCHDIB: destination and source rectangles (x, y, width, height), SRCCOPY, the
    // colour table of RGB colours (DIB_RGB_COLORS) or of palette indices (DIB_PAL_COLORS).
    enum class DibColours { Rgb, PaletteIndices };
    WmfBuilder &stretchDib(QRect dest, QRect source, const QByteArray &bitmap,
                           quint32 rop = 0x00CC0020, DibColours colours = DibColours::Rgb)
    {
        QByteArray p;
        put32(p, rop);
        put16(p, colours == DibColours::PaletteIndices ? 1 : 0);
        for (int v : {source.height(), source.width(), source.y(), source.x(), dest.height(),
                      dest.width(), dest.y(), dest.x()})
            put16(p, v);
        return recordBytes(0x0F43, p + bitmap);
    }
    WmfBuilder &dibStretchBlt(QRect dest, QRect source, const QByteArray &bitmap,
                              quint32 rop = 0x00CC0020)
    {
        QByteArray p;
        put32(p, rop);
        for (int v : {source.height(), source.width(), source.y(), source.x(), dest.height(),
                      dest.width(), dest.y(), dest.x()})
            put16(p, v);
        return recordBytes(0x0B41, p + bitmap);
    }
    WmfBuilder &dibBitBlt(QPoint dest, QRect source, const QByteArray &bitmap,
                          quint32 rop = 0x00CC0020)
    {
        QByteArray p;
        put32(p, rop);
        for (int v : {source.y(), source.x(), source.height(), source.width(), dest.y(), dest.x()})
            put16(p, v);
        return recordBytes(0x0940, p + bitmap);
    }
    // STRETCHBLT with a device bitmap (Bitmap16): `rows` top-down, each padded to a word.
    WmfBuilder &deviceStretchBlt(QRect dest, QSize size, int bitsPerPixel,
                                 const QList<QByteArray> &rows)
    {
        QByteArray p;
        put32(p, 0x00CC0020); // SRCCOPY
        for (int v :
             {size.height(), size.width(), 0, 0, dest.height(), dest.width(), dest.y(), dest.x()})
            put16(p, v);
        const int widthBytes = ((size.width() * bitsPerPixel + 15) / 16) * 2;
        for (int v : {0, size.width(), size.height(), widthBytes})
            put16(p, v);
        p.append(char(1)).append(char(bitsPerPixel));
        for (const QByteArray &row : rows)
            p.append(row.leftJustified(widthBytes, '\0', true));
        return recordBytes(0x0B23, p);
    }
    WmfBuilder &dibPatternBrush(const QByteArray &bitmap)
    {
        QByteArray p;
        put16(p, 5); // BS_DIBPATTERNPT
        put16(p, 0);
        return recordBytes(0x0142, p + bitmap);
    }
    WmfBuilder &escape(int function, const QByteArray &data, int claimedBytes = -1)
    {
        QByteArray p;
        put16(p, function);
        put16(p, claimedBytes < 0 ? int(data.size()) : claimedBytes);
        return recordBytes(0x0626, p + data);
    }

    QByteArray records() const { return m_records; }

    // The whole file: headers with their sizes, the records, and an EOF record if asked.
    QByteArray bytes(bool eof = true) const
    {
        QByteArray body = m_records;
        if (eof) {
            put32(body, 3);
            put16(body, 0);
        }
        QByteArray out;
        if (m_placeable) {
            put32(out, 0x9AC6CDD7u);
            put16(out, 0);
            for (int v : m_box)
                put16(out, v);
            put16(out, m_inch);
            put32(out, 0);
            quint16 sum = 0;
            for (int i = 0; i < 20; i += 2)
                sum ^= qFromLittleEndian<quint16>(out.constData() + i);
            put16(out, sum);
        }
        put16(out, 1);
        put16(out, 9);
        put16(out, 0x0300);
        put32(out, quint32((18 + body.size()) / 2));
        put16(out, m_objects);
        put32(out, m_maxRecord);
        put16(out, 0);
        return out + body;
    }

private:
    bool m_placeable = false;
    std::array<int, 4> m_box{};
    int m_inch = 1440;
    int m_objects = 16;
    quint32 m_maxRecord = 3;
    QByteArray m_records;
};

} // namespace wmftest
