#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QSize>
#include <map>
#include <vector>

namespace lumora::testing {

// How `lzwSubBlocks` writes its codes.
struct LzwOptions {
    int minimumBits = 8; // the code size byte: codes start one bit wider, up to 12
    // Once this many pixels are written the table is cleared, once; 0 never clears. Until then
    // a full table goes on with 12-bit codes that add no entries, as encoders that defer the
    // clear code do.
    qsizetype clearAt = 0;
    int *deferred = nullptr; // counts the codes written while the table was full
};

// Writes colour indices as a GIF encoder does: LZW codes in data sub-blocks, ended by the end
// code and the empty block. Any minimum code size, so that tests can make files that no
// encoder at hand writes.
inline QByteArray lzwSubBlocks(const std::vector<quint16> &pixels, LzwOptions options)
{
    constexpr int kMaxCodes = 4096;
    const int clearCode = 1 << options.minimumBits;
    QByteArray out;
    quint32 bits = 0;
    int bitCount = 0;
    int width = options.minimumBits + 1;
    const auto put = [&](int code) {
        bits |= quint32(code) << bitCount;
        for (bitCount += width; bitCount >= 8; bitCount -= 8, bits >>= 8)
            out.append(char(bits & 0xFF));
    };
    std::map<std::pair<int, int>, int> table;
    int next = 0;      // the encoder's next entry, one ahead of the decoder's
    int known = 0;     // entries the decoder has once it has read the codes so far
    bool first = true; // the first code after a clear adds nothing for the decoder
    const auto clear = [&] {
        put(clearCode);
        table.clear();
        width = options.minimumBits + 1;
        next = known = clearCode + 2;
        first = true;
    };
    const auto send = [&](int code) {
        put(code);
        if (options.deferred)
            *options.deferred += known == kMaxCodes;
        if (!first && known < kMaxCodes && ++known == (1 << width) && width < 12)
            ++width;
        first = false;
    };
    clear();
    int prefix = pixels.at(0);
    for (size_t i = 1; i < pixels.size(); ++i) {
        const int c = pixels[i];
        if (const auto it = table.find({prefix, c}); it != table.end()) {
            prefix = it->second;
            continue;
        }
        send(prefix);
        if (next < kMaxCodes)
            table[{prefix, c}] = next++;
        if (options.clearAt > 0 && qsizetype(i) >= options.clearAt) {
            clear();
            options.clearAt = 0;
        }
        prefix = c;
    }
    send(prefix);
    put(clearCode + 1);
    if (bitCount > 0)
        out.append(char(bits & 0xFF));
    QByteArray blocks;
    for (qsizetype at = 0; at < out.size(); at += 255) {
        const QByteArray block = out.mid(at, 255);
        blocks += char(block.size()) + block;
    }
    return blocks + '\0';
}

// A GIF89a of one frame covering the screen, with a global colour table of 2, 4, ... 256
// `colours`, holding `pixels` (colour indices, row by row).
inline QByteArray gifFile(QSize size, const QList<QRgb> &colours,
                          const std::vector<quint16> &pixels, const LzwOptions &options)
{
    QByteArray gif("GIF89a");
    const auto le16 = [&](int v) { gif.append(char(v & 0xFF)).append(char(v >> 8)); };
    int sizeBits = 0;
    while ((2 << sizeBits) < colours.size())
        ++sizeBits;
    le16(size.width());
    le16(size.height());
    gif.append(char(0x80 | sizeBits)).append('\0').append('\0');
    for (int i = 0; i < (2 << sizeBits); ++i) {
        const QRgb c = colours.value(i);
        gif.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    gif += ',';
    le16(0);
    le16(0);
    le16(size.width());
    le16(size.height());
    gif += '\0';
    gif += char(options.minimumBits) + lzwSubBlocks(pixels, options);
    return gif + ';';
}

} // namespace lumora::testing
