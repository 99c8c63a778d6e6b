#pragma once

#include "platform/loadpicture.h"
#include "platform/memorybudget.h"

#include <QImage>

namespace lumora::platform {

// The most pixels a JPEG, GIF or BMP may declare: 2^28 (16384 x 16384), 1 GiB as 32-bit
// pixels. A 100-megapixel photo fits with room to spare, and so do the picture box's own
// drawing of it and a zoomed copy on a 24 GiB machine; anything above is refused as a
// decompression bomb before a single pixel is allocated. It matches the largest drawing a
// picture box keeps.
inline constexpr qint64 kMaxPicturePixels = qint64(1) << 28;

// The most scans a JPEG may have. Encoders write 1 (baseline) to about 10 (progressive; tuned
// progressive files a few dozen); each scan walks the whole picture again, so a file with
// thousands of them would take seconds for what a few hundred bytes declare.
inline constexpr int kMaxJpegScans = 256;

// Decodes a JPEG, GIF or BMP picture whose format was already sniffed. Throws RuntimeError:
// errors::InvalidPicture for anything that is not a whole, sane picture of that format
// (truncated, damaged, unsupported variant, or more than kMaxPicturePixels), and
// errors::OutOfMemory when the machine cannot hold a picture that is within the limits.
//
// The result is Format_RGB32 for opaque pictures and Format_ARGB32_Premultiplied when the picture
// has transparent parts (a GIF's transparent colour, a BMP's alpha channel, pixels an RLE BMP
// leaves undefined): the picture box paints it over its background colour. JPEG colours are
// converted to sRGB when the file carries an ICC profile, and the EXIF orientation is applied.
QImage decodeRaster(QByteArrayView bytes, PictureFormat format);

// Throws the run-time error for bytes that are not a whole, sane picture of their format.
[[noreturn]] void refusePicture();

// The bytes an image of `size` and `format` holds (0 for an empty size).
qint64 imageBytes(QSize size, QImage::Format format);

// An image of `size` and `format` whose pixels are all zero (transparent for alpha formats).
// Big images take fresh pages from the kernel, marked for transparent huge pages: the pages
// need no clearing, pages never written cost nothing, and touching them for the first time
// costs far less than with 4 KiB pages. The pixels are taken from the process's MemoryBudget
// before any memory is touched and given back when the last copy of the image goes. Throws
// RuntimeError (errors::OutOfMemory) when the budget refuses them or memory runs out.
QImage allocateZeroedImage(QSize size, QImage::Format format);
// The same with the bytes reserved already (a decoder that asks before it starts working).
QImage allocateZeroedImage(QSize size, QImage::Format format,
                           MemoryBudget::Reservation reservation);

// A colour transform from a CMYK ICC profile to sRGB, by Little CMS (Qt 6.4 reads only RGB
// profiles), over rows of pixels. Null when the profile is unreadable or not a CMYK profile.
class IccToSrgb final {
public:
    enum class Input {
        Cmyk,         // 255 is full ink
        CmykInverted, // as Photoshop writes it, 255 is no ink
    };

    // `pixels` is how many pixels will go through: Little CMS takes a while to prepare its
    // fast tables (0.1 s for a CMYK profile), which only big pictures repay.
    IccToSrgb(QByteArrayView iccProfile, Input input, qint64 pixels);
    ~IccToSrgb();
    IccToSrgb(const IccToSrgb &) = delete;
    IccToSrgb &operator=(const IccToSrgb &) = delete;

    bool isNull() const { return m_transform == nullptr; }
    // Converts `width` pixels at `in` into opaque RGB32 pixels at `out` (`in` may be `out`).
    void convert(const uchar *in, uchar *out, int width) const;

private:
    void *m_transform = nullptr;
};

// Converts `image` in place from the colour space of the RGB profile `iccProfile` to sRGB.
// Profiles Qt cannot read, and sRGB itself, leave the image as it is.
void convertToSrgb(QImage &image, QByteArrayView iccProfile);

} // namespace lumora::platform
