#include "picture/wmf/wmfdib.h"

#include "base/runtimeerror.h"
#include "picture/bmpdecoder.h"

#include <cstring>

namespace lumora::picture::wmf {

namespace {

// GDI keeps no bitmap wider or taller than this.
constexpr int kMostBitmapSide = 65535;

// The sixteen colours of a 4-bit display, in the order GDI gives them.
constexpr QRgb kVgaColors[16] = {
    0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080, 0xff008080, 0xffc0c0c0,
    0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00, 0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};
// The twenty colours an 8-bit display always holds: ten at each end of its palette. They are
// also the default logical palette, the one selected until a metafile selects its own.
constexpr QRgb kStaticLow[10] = {0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080,
                                 0xff800080, 0xff008080, 0xffc0c0c0, 0xffc0dcc0, 0xffa6caf0};
constexpr QRgb kStaticHigh[10] = {0xfffffbf0, 0xffa0a0a4, 0xff808080, 0xffff0000, 0xff00ff00,
                                  0xffffff00, 0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};

const std::vector<QRgb> &defaultLogicalPalette()
{
    static const std::vector<QRgb> palette = [] {
        std::vector<QRgb> colours(std::begin(kStaticLow), std::end(kStaticLow));
        colours.insert(colours.end(), std::begin(kStaticHigh), std::end(kStaticHigh));
        return colours;
    }();
    return palette;
}

QByteArrayView viewOf(const ByteReader &bytes)
{
    return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

// Colours a bitmap's own table lacks. A monochrome one is black on white. A bitmap of more
// colours with no table at all (presentation programs write their thumbnails so) takes them
// from the logical palette, index for index.
void addMissingColours(BmpHeader &header, const std::vector<QRgb> &logical)
{
    if (header.bitCount > 8 || header.coding == BmpCoding::Jpeg || header.coding == BmpCoding::Png)
        return;
    if (header.bitCount == 1) {
        if (header.tableEntries < 2)
            header.palette[1] = 0xffffffff;
        return;
    }
    if (header.tableEntries > 0)
        return;
    const size_t count = std::min(logical.size(), header.palette.size());
    std::copy_n(logical.begin(), count, header.palette.begin());
}

// A device bitmap's pixels are indices into the recording display's palette: the standard
// colours of a 4-bit display; on an 8-bit one the static colours at both ends and, between
// them, the logical palette selected (black where there is none).
void setDevicePalette(BmpHeader &header, const std::vector<QRgb> &selected)
{
    auto &table = header.palette;
    if (header.bitCount == 4) {
        std::copy(std::begin(kVgaColors), std::end(kVgaColors), table.begin());
        return;
    }
    for (size_t i = 10; i < 246 && i < selected.size(); ++i)
        table[i] = selected[i];
    std::copy(std::begin(kStaticLow), std::end(kStaticLow), table.begin());
    std::copy(std::begin(kStaticHigh), std::end(kStaticHigh), table.begin() + 246);
}

// A bitmap the reader refuses is skipped with its record; running out of memory fails the
// whole picture, never drawn without it.
QImage skipUnlessOutOfMemory(const RuntimeError &error)
{
    if (error.number() == errors::OutOfMemory)
        throw error;
    return {};
}

QImage monochromeBitmap(const uchar *bits, int width, int height, qint64 widthBytes)
{
    QImage image(width, height, QImage::Format_Mono);
    if (image.isNull())
        return {};
    image.setColorTable({0xff000000, 0xffffffff});
    const qsizetype copy = std::min<qsizetype>(widthBytes, image.bytesPerLine());
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), bits + y * widthBytes, size_t(copy));
    return image;
}

} // namespace

QImage decodeDib(const ByteReader &bytes, bool paletteIndices, const std::vector<QRgb> &palette,
                 qint64 maxPixels)
{
    const std::vector<QRgb> &logical = palette.empty() ? defaultLogicalPalette() : palette;
    try {
        const QByteArrayView view = viewOf(bytes);
        BmpHeader header =
            readPackedDibHeader(view, {paletteIndices ? &logical : nullptr}, maxPixels);
        if (header.width > kMostBitmapSide || header.height > kMostBitmapSide)
            return {};
        header.channels[3] = {}; // a blit copies colours; alpha is not part of it
        header.keepsCutRuns = true;
        header.budgeted = false; // the picture counts all its bitmaps at once
        addMissingColours(header, logical);
        return decodeBmpPixels(view, header);
    } catch (const RuntimeError &error) {
        return skipUnlessOutOfMemory(error); // damaged, unsupported or over the limits
    }
}

QImage decodeBitmap16(const ByteReader &bytes, qsizetype bitsOffset, qint64 maxPixels,
                      const std::vector<QRgb> &palette, bool *monochrome)
{
    *monochrome = false;
    if (!bytes.has(0, 10))
        return {};
    const qint64 width = bytes.s16(2);
    const qint64 height = bytes.s16(4);
    qint64 widthBytes = bytes.s16(6);
    const int planes = bytes.u8(8);
    const int bpp = bytes.u8(9);
    if (width <= 0 || height <= 0 || width * height > maxPixels || planes != 1 || bpp == 2 ||
        bpp == 64)
        return {};
    // Rows are padded to words; some writers give a longer row than the bits they store.
    const qint64 wordRow = ((width * bpp + 15) / 16) * 2;
    if (!bytes.has(bitsOffset, widthBytes * height) && bytes.has(bitsOffset, wordRow * height))
        widthBytes = wordRow;
    if (widthBytes < (width * bpp + 7) / 8 || !bytes.has(bitsOffset, widthBytes * height))
        return {};
    if (bpp == 1) {
        *monochrome = true;
        return monochromeBitmap(bytes.data() + bitsOffset, int(width), int(height), widthBytes);
    }
    try {
        BmpHeader header = headerlessBitmap(QSize(int(width), int(height)), bpp, widthBytes,
                                            bitsOffset, maxPixels);
        header.budgeted = false;
        if (bpp <= 8)
            setDevicePalette(header, palette);
        return decodeBmpPixels(viewOf(bytes), header);
    } catch (const RuntimeError &error) {
        return skipUnlessOutOfMemory(error);
    }
}

} // namespace lumora::picture::wmf
