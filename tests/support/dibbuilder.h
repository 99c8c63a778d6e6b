#pragma once

// Bitmaps built byte by byte: a packed DIB (header, colour table, bits) as metafile records
// carry it, and the BMP file around one.

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QtEndian>

namespace lumora::testing {

inline void put16(QByteArray &b, int v)
{
    const quint16 u = quint16(v);
    b.append(char(u & 0xFF)).append(char(u >> 8));
}

inline void put32(QByteArray &b, quint32 v)
{
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16));
}

// A packed device-independent bitmap: BITMAPINFOHEADER, colour table and rows bottom-up (or
// top-down with a negative height). `rows` holds the raw bytes of each row, top row first,
// padded here to four bytes.
inline QByteArray dib(int width, int height, int bpp, const QList<QRgb> &palette,
                      const QList<QByteArray> &rowsTopFirst, quint32 compression = 0,
                      bool topDown = false)
{
    QByteArray bits;
    if (compression == 0) {
        const int stride = ((width * bpp + 31) / 32) * 4;
        for (int i = 0; i < rowsTopFirst.size(); ++i) {
            QByteArray row = rowsTopFirst[topDown ? i : rowsTopFirst.size() - 1 - i];
            row.resize(stride, '\0');
            bits += row;
        }
    } else {
        for (const QByteArray &chunk : rowsTopFirst) // already encoded, in file order
            bits += chunk;
    }
    QByteArray b;
    put32(b, 40);
    put32(b, quint32(width));
    put32(b, quint32(topDown ? -height : height));
    put16(b, 1);
    put16(b, bpp);
    put32(b, compression);
    put32(b, quint32(bits.size()));
    put32(b, 3780);
    put32(b, 3780);
    put32(b, quint32(palette.size()));
    put32(b, 0);
    for (QRgb c : palette) {
        b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    }
    return b + bits;
}

// A BMP file of a packed DIB with a 40-byte header: its pixels follow the colour table.
inline QByteArray bmpFile(const QByteArray &packedDib)
{
    const quint32 colours = qFromLittleEndian<quint32>(packedDib.constData() + 32);
    QByteArray file("BM");
    put32(file, quint32(14 + packedDib.size()));
    put32(file, 0);
    put32(file, 14 + 40 + 4 * colours);
    return file + packedDib;
}

} // namespace lumora::testing
