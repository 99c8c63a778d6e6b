#include "picture/bmprle.h"

#include "picture/imagememory.h"

namespace lumora::picture {

namespace {

class RleDecoder final {
public:
    RleDecoder(QByteArrayView bytes, const BmpHeader &header)
        : m_data(reinterpret_cast<const uchar *>(bytes.data())),
          m_end(std::min<qint64>(header.pixelEnd, bytes.size())), m_pos(header.pixelOffset),
          m_header(header)
    {
    }

    QImage decode()
    {
        checkRunLengthData(m_header, m_end - m_pos);
        // Runs write here and there, bottom rows first: pages are cleared as they are touched.
        m_image = allocateBitmap(m_header, QImage::Format_ARGB32_Premultiplied, Filling::Sparse);
        while (m_row < m_header.height) {
            const uchar *pair = need(2); // cut short: rows are missing and no end mark says so
            if (!pair)
                break;
            const uchar count = pair[0];
            const uchar code = pair[1];
            if (count > 0)
                run(count, code);
            else if (code == 0)
                nextRow(0);
            else if (code == 1)
                break;
            else if (code == 2)
                delta();
            else
                literal(code);
        }
        if (m_written == qint64(m_header.width) * m_header.height)
            m_image.reinterpretAsFormat(QImage::Format_RGB32);
        return std::move(m_image);
    }

private:
    // The next `n` bytes, or null (ending the picture) when they are missing and cut runs
    // are kept.
    const uchar *need(qint64 n)
    {
        if (m_end - m_pos < n) {
            if (!m_header.keepsCutRuns)
                refusePicture();
            m_row = m_header.height;
            return nullptr;
        }
        const uchar *p = m_data + m_pos;
        m_pos += n;
        return p;
    }

    // Runs past the end of the row are clipped: the column stops at the row's end.
    void put(QRgb colour)
    {
        if (m_x < m_header.width && m_row < m_header.height) {
            const int y = m_header.topDown ? m_row : m_header.height - 1 - m_row;
            reinterpret_cast<QRgb *>(m_image.scanLine(y))[m_x++] = colour;
            ++m_written;
        }
    }

    void run(int n, uchar code)
    {
        switch (m_header.coding) {
        case BmpCoding::Rle8:
            for (int i = 0; i < n; ++i)
                put(m_header.palette[code]);
            break;
        case BmpCoding::Rle4:
            for (int i = 0; i < n; ++i)
                put(m_header.palette[i % 2 ? code & 15 : code >> 4]);
            break;
        default: // RLE24: blue was the code byte; green and red follow
            if (const uchar *gr = need(2)) {
                for (int i = 0; i < n; ++i)
                    put(qRgb(gr[1], gr[0], code));
            }
            break;
        }
    }

    void literal(int count)
    {
        switch (m_header.coding) {
        case BmpCoding::Rle8:
            if (const uchar *p = need((count + 1) & ~1)) {
                for (int i = 0; i < count; ++i)
                    put(m_header.palette[p[i]]);
            }
            break;
        case BmpCoding::Rle4:
            if (const uchar *p = need(((count + 3) / 4) * 2)) {
                for (int i = 0; i < count; ++i)
                    put(m_header.palette[i % 2 ? p[i / 2] & 15 : p[i / 2] >> 4]);
            }
            break;
        default:
            if (const uchar *p = need((3 * count + 1) & ~1)) {
                for (int i = 0; i < count; ++i)
                    put(qRgb(p[3 * i + 2], p[3 * i + 1], p[3 * i]));
            }
            break;
        }
    }

    void delta()
    {
        const uchar *p = need(2);
        if (!p)
            return;
        m_x = std::min(m_x + p[0], m_header.width);
        if (p[1] > 0)
            nextRow(p[1]);
    }

    void nextRow(int skip)
    {
        if (skip == 0) {
            m_x = 0;
            ++m_row;
            return;
        }
        m_row = std::min(m_row + skip, m_header.height); // a delta keeps the column
    }

    const uchar *m_data;
    qint64 m_end;
    qint64 m_pos;
    const BmpHeader &m_header;
    QImage m_image;
    int m_x = 0;
    int m_row = 0;
    qint64 m_written = 0;
};

} // namespace

QImage decodeBmpRuns(QByteArrayView bytes, const BmpHeader &header)
{
    return RleDecoder(bytes, header).decode();
}

} // namespace lumora::picture
