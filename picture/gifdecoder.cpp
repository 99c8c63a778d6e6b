#include "picture/gifdecoder.h"

#include "picture/imagememory.h"
#include "picture/picturelimits.h"

#include <QtEndian>
#include <array>
#include <cstring>

namespace lumora::picture {

namespace {

constexpr int kMaxCodes = 4096;
// The most pixels one byte of LZW data can give: a code of w bits spells at most 2^w pixels,
// so twelve bits give at most 4096, and shorter codes fewer a bit.
constexpr qint64 kMaxPixelsPerDataByte = kMaxCodes * 8 / 12 + 1;

class ByteReader final {
public:
    explicit ByteReader(QByteArrayView bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.data())), m_size(bytes.size())
    {
    }

    bool atEnd() const { return m_pos >= m_size; }
    uchar byte()
    {
        if (m_pos >= m_size)
            refusePicture();
        return m_data[m_pos++];
    }
    quint16 le16()
    {
        const quint16 low = byte();
        return quint16(low | (byte() << 8));
    }
    const uchar *take(qsizetype n)
    {
        if (n > m_size - m_pos)
            refusePicture();
        const uchar *p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    void skipSubBlocks()
    {
        while (const uchar length = byte())
            take(length);
    }
    // The bytes in the sub-blocks that start `offset` bytes on, without reading past them.
    qint64 subBlockBytesAt(qsizetype offset) const
    {
        qint64 total = 0;
        for (qsizetype at = m_pos + offset; at < m_size && m_data[at] != 0; at += 1 + m_data[at])
            total += m_data[at];
        return total;
    }

private:
    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// A colour for every value a code can stand for: with code sizes up to 11 a pixel may hold
// any index below 2048, past the largest colour table of 256 entries.
using Palette = std::array<QRgb, kMaxCodes>;

// A colour table of 2^(n+1) entries. Indices beyond it show black, as most viewers do.
void readPalette(ByteReader &in, int sizeBits, Palette &palette)
{
    palette.fill(0xFF000000u);
    const int count = 2 << sizeBits;
    const uchar *p = in.take(3 * count);
    for (int i = 0; i < count; ++i)
        palette[size_t(i)] = qRgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
}

struct FrameGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlaced = false;
};

// Puts decoded colour indices where they belong on the canvas, row by row, following the
// four passes of an interlaced frame.
class PixelSink final {
public:
    PixelSink(QImage &canvas, const FrameGeometry &frame, const Palette &colours,
              RowArrival *arrival, const std::atomic<bool> *cancelled)
        : m_canvas(canvas), m_frame(frame), m_colours(colours), m_arrival(arrival),
          m_cancelled(cancelled)
    {
        m_rowsLeft = frame.width > 0 ? frame.height : 0;
        if (m_rowsLeft > 0)
            m_line = rowPointer();
    }

    bool full() const { return m_rowsLeft == 0; }

    void put(const quint16 *indices, int count)
    {
        for (int i = 0; i < count && m_rowsLeft > 0; ++i) {
            m_line[m_x] = m_colours[indices[i]];
            if (++m_x == m_frame.width)
                nextRow();
        }
    }

private:
    QRgb *rowPointer()
    {
        return reinterpret_cast<QRgb *>(m_canvas.scanLine(m_frame.top + m_y)) + m_frame.left;
    }

    // Rows between two looks at whether the read is still wanted.
    static constexpr int kRowsBetweenCancelChecks = 64;

    void nextRow()
    {
        m_x = 0;
        if (m_arrival)
            m_arrival->finished({m_frame.top + m_y, 1});
        if (!m_frame.interlaced)
            noteRowsFilled(m_canvas, m_frame.top + m_y + 1);
        if (m_cancelled && m_rowsLeft % kRowsBetweenCancelChecks == 0 &&
            m_cancelled->load(std::memory_order_relaxed))
            refusePicture();
        if (--m_rowsLeft == 0)
            return;
        if (!m_frame.interlaced) {
            ++m_y;
        } else {
            static constexpr int start[] = {0, 4, 2, 1};
            static constexpr int step[] = {8, 8, 4, 2};
            m_y += step[m_pass];
            while (m_y >= m_frame.height && m_pass < 3) {
                ++m_pass;
                m_y = start[m_pass];
            }
        }
        if (m_y >= m_frame.height) { // cannot happen: the passes hold every row once
            m_rowsLeft = 0;
            return;
        }
        m_line = rowPointer();
    }

    QImage &m_canvas;
    const FrameGeometry &m_frame;
    const Palette &m_colours;
    RowArrival *m_arrival;
    const std::atomic<bool> *m_cancelled;
    QRgb *m_line = nullptr;
    int m_x = 0;
    int m_y = 0;
    int m_pass = 0;
    int m_rowsLeft = 0;
};

// Reads LZW codes of a growing width from the frame's data sub-blocks.
class CodeReader final {
public:
    explicit CodeReader(ByteReader &in) : m_in(in) {}

    // The next code, or -1 when the data sub-blocks end.
    int next(int width)
    {
        while (m_bitCount < width) {
            if (m_blockLeft == 0) {
                if (!m_ended)
                    m_blockLeft = m_in.byte();
                if (m_blockLeft == 0) {
                    m_ended = true;
                    return -1;
                }
            }
            m_bits |= quint32(m_in.byte()) << m_bitCount;
            m_bitCount += 8;
            --m_blockLeft;
        }
        const int code = int(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_bitCount -= width;
        return code;
    }

private:
    ByteReader &m_in;
    quint32 m_bits = 0;
    int m_bitCount = 0;
    int m_blockLeft = 0;
    bool m_ended = false;
};

// Decodes the frame's LZW data into `sink` until the frame is full. A code that is not yet
// defined, or data that ends before the last pixel, refuses the picture. Minimum code sizes
// go up to 11, as web browsers and the desktop's other readers take them: the first codes
// are then already 12 bits wide, the widest there is.
void decodeLzw(ByteReader &in, PixelSink &sink)
{
    const int minimumBits = in.byte();
    if (minimumBits < 1 || minimumBits > 11)
        refusePicture();
    const int clear = 1 << minimumBits;
    const int end = clear + 1;
    std::array<quint16, kMaxCodes> prefix{};
    std::array<quint16, kMaxCodes> suffix{};
    std::array<quint16, kMaxCodes> first{};
    std::array<quint16, kMaxCodes> string{};
    for (int code = 0; code < clear; ++code) {
        suffix[size_t(code)] = quint16(code);
        first[size_t(code)] = quint16(code);
    }
    CodeReader codes(in);
    int width = minimumBits + 1;
    int available = clear + 2;
    int previous = -1;
    while (!sink.full()) {
        const int code = codes.next(width);
        if (code < 0 || code == end)
            refusePicture(); // the frame ends before its last pixel
        if (code == clear) {
            width = minimumBits + 1;
            available = clear + 2;
            previous = -1;
            continue;
        }
        if (code > available || (previous < 0 && code >= clear))
            refusePicture();
        if (previous >= 0 && available < kMaxCodes) {
            prefix[size_t(available)] = quint16(previous);
            suffix[size_t(available)] = first[size_t(code == available ? previous : code)];
            first[size_t(available)] = first[size_t(previous)];
            ++available;
            if (available == (1 << width) && width < 12)
                ++width;
        }
        // Spell the code's string backwards, from its last character down to its root.
        int length = 0;
        int c = code;
        for (; c >= clear; c = prefix[size_t(c)])
            string[size_t(kMaxCodes - 1 - length++)] = suffix[size_t(c)];
        string[size_t(kMaxCodes - 1 - length++)] = quint16(c);
        sink.put(string.data() + kMaxCodes - length, length);
        previous = code;
    }
}

// The logical screen: its size and the global colour table (black where it has none).
struct Screen {
    int width = 0;
    int height = 0;
    Palette colours{};
};

Screen readScreen(ByteReader &in)
{
    const uchar *signature = in.take(6);
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0)
        refusePicture();
    Screen screen;
    screen.width = in.le16();
    screen.height = in.le16();
    const uchar flags = in.byte();
    in.take(2); // background colour and aspect ratio: modern viewers ignore both
    screen.colours.fill(0xFF000000u);
    if (flags & 0x80)
        readPalette(in, flags & 7, screen.colours);
    return screen;
}

// Skips the extensions before the first frame, up to and including its separator. Returns
// the transparent colour index of the first graphic control extension, or -1.
int skipToFrame(ByteReader &in)
{
    int transparentIndex = -1;
    for (;;) {
        const uchar block = in.byte();
        if (block == 0x2C)
            return transparentIndex;
        if (block != 0x21)
            refusePicture(); // a trailer or junk before any frame
        const uchar label = in.byte();
        if (label == 0xF9 && transparentIndex < 0) {
            const uchar length = in.byte();
            const uchar *control = in.take(length);
            if (length >= 4 && (control[0] & 1))
                transparentIndex = control[3];
        }
        in.skipSubBlocks();
    }
}

} // namespace

QImage decodeGif(QByteArrayView bytes, RowArrival *arrival, const std::atomic<bool> *cancelled)
{
    ByteReader in(bytes);
    const Screen screen = readScreen(in);
    const int transparentIndex = skipToFrame(in);
    FrameGeometry frame;
    frame.left = in.le16();
    frame.top = in.le16();
    frame.width = in.le16();
    frame.height = in.le16();
    const uchar frameFlags = in.byte();
    frame.interlaced = frameFlags & 0x40;
    Palette colours = screen.colours;
    if (frameFlags & 0x80)
        readPalette(in, frameFlags & 7, colours);
    if (transparentIndex >= 0)
        colours[size_t(transparentIndex)] = 0;

    const int canvasWidth = std::max(screen.width, frame.left + frame.width);
    const int canvasHeight = std::max(screen.height, frame.top + frame.height);
    if (canvasWidth == 0 || canvasHeight == 0)
        refusePicture();
    // The frame's pixels must fit in its data, and the screen around it is left to no data.
    const qint64 framePixels = qint64(frame.width) * frame.height;
    if (framePixels > in.subBlockBytesAt(1) * kMaxPixelsPerDataByte ||
        qint64(canvasWidth) * canvasHeight - framePixels > kMaxUndescribedPixels)
        refusePicture();
    const bool coversCanvas = frame.left == 0 && frame.top == 0 && frame.width == canvasWidth &&
                              frame.height == canvasHeight;
    const bool opaque = coversCanvas && transparentIndex < 0;
    // Rows arrive from the top down, so the page helper keeps only a little ahead of them.
    QImage canvas = allocateZeroedImage(
        QSize(canvasWidth, canvasHeight),
        opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied, Filling::Rows);
    // Whoever shows the rows stops reading them before a failed decode frees them.
    ArrivalGuard shown(arrival);
    if (arrival) {
        arrival->begin(canvas, canvas.size());
        // What the frame leaves of the screen is transparent from the start.
        arrival->finished({0, std::min(frame.top, canvasHeight)});
        arrival->finished({frame.top + frame.height, canvasHeight - frame.top - frame.height});
    }
    PixelSink sink(canvas, frame, colours, arrival, cancelled);
    if (!sink.full())
        decodeLzw(in, sink);
    shown.release();
    return canvas;
}

} // namespace lumora::picture
