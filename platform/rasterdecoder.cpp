#include "platform/rasterdecoder.h"

#include "platform/bmpdecoder.h"
#include "platform/gifdecoder.h"
#include "platform/jpegdecoder.h"
#include "platform/runtimeerror.h"

#include <QColorSpace>
#include <cstdlib>
#include <lcms2.h>
#include <new>
#include <sys/mman.h>

namespace lumora::platform {

namespace {

// Below this an ordinary heap block is cheaper than a mapping of its own.
constexpr qsizetype kMappedImageBytes = qsizetype(4) << 20;
constexpr qsizetype kHugePageBytes = qsizetype(2) << 20;
// From about here a colour transform's precomputed tables cost less than going without them.
constexpr qint64 kPixelsWorthTables = 250'000;

struct Mapping {
    void *address;
    size_t length;
};

// An image's pixel memory and the budget bytes it holds; both go when the last QImage that
// shares the pixels goes, so copies of a picture count once.
struct PixelBlock {
    Mapping mapping; // length 0: a heap block
    MemoryBudget::Reservation reservation;
};

void freeMapping(const Mapping &mapping)
{
    if (mapping.length > 0)
        munmap(mapping.address, mapping.length);
    else
        std::free(mapping.address);
}

void freePixels(void *info)
{
    auto *block = static_cast<PixelBlock *>(info);
    freeMapping(block->mapping);
    delete block;
}

// Qt tells an sRGB profile however it is written down (curves as tables or formulas); such a
// profile needs no conversion at all.
bool isSrgb(QByteArrayView iccProfile)
{
    const QColorSpace space = QColorSpace::fromIccProfile(iccProfile.toByteArray());
    return space.isValid() && space == QColorSpace(QColorSpace::SRgb);
}

[[noreturn]] void throwOutOfMemory()
{
    throw RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
}

// Maps `bytes` of zeroed memory starting on a huge-page boundary, so that every 2 MiB of the
// image can be one huge page.
Mapping mapAligned(size_t bytes)
{
    const size_t length = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const size_t padded = length + kHugePageBytes;
    void *raw = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return {nullptr, 0};
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePageBytes - 1) & ~uintptr_t(kHugePageBytes - 1);
    const size_t head = aligned - start;
    if (head > 0)
        munmap(raw, head);
    const size_t tail = padded - head - length;
    if (tail > 0)
        munmap(reinterpret_cast<void *>(aligned + length), tail);
    madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);
    return {reinterpret_cast<void *>(aligned), length};
}

} // namespace

void refusePicture()
{
    throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
}

qint64 imageBytes(QSize size, QImage::Format format)
{
    if (size.isEmpty())
        return 0;
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    return (qint64(size.width()) * depth + 31) / 32 * 4 * size.height();
}

QImage allocateZeroedImage(QSize size, QImage::Format format)
{
    MemoryBudget::Reservation reservation =
        MemoryBudget::process().reserve(imageBytes(size, format));
    return allocateZeroedImage(size, format, std::move(reservation));
}

QImage allocateZeroedImage(QSize size, QImage::Format format, MemoryBudget::Reservation reservation)
{
    if (size.isEmpty())
        refusePicture();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = (qint64(size.width()) * depth + 31) / 32 * 4;
    const qint64 bytes = bytesPerLine * size.height();
    if (bytesPerLine > std::numeric_limits<int>::max() || bytes > qint64(1) << 40)
        throwOutOfMemory();
    Mapping mapping{nullptr, 0};
    if (bytes < kMappedImageBytes) {
        // Small images come from the heap, zeroed; the block still carries its reservation.
        mapping.address = std::calloc(size_t(bytes), 1);
    } else {
        mapping = mapAligned(size_t(bytes));
    }
    if (!mapping.address)
        throwOutOfMemory();
    auto *block = new (std::nothrow) PixelBlock{mapping, std::move(reservation)};
    if (!block) {
        freeMapping(mapping);
        throwOutOfMemory();
    }
    QImage image(static_cast<uchar *>(mapping.address), size.width(), size.height(),
                 qsizetype(bytesPerLine), format, freePixels, block);
    if (image.isNull()) {
        freePixels(block);
        throwOutOfMemory();
    }
    return image;
}

IccToSrgb::IccToSrgb(QByteArrayView iccProfile, Input input, qint64 pixels)
{
    if (iccProfile.isEmpty())
        return;
    cmsHPROFILE source =
        cmsOpenProfileFromMem(iccProfile.data(), cmsUInt32Number(iccProfile.size()));
    if (!source)
        return;
    if (cmsGetColorSpace(source) == cmsSigCmykData) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        const cmsUInt32Number format = input == Input::Cmyk ? TYPE_CMYK_8 : TYPE_CMYK_8_REV;
        const cmsUInt32Number flags = pixels < kPixelsWorthTables ? cmsFLAGS_NOOPTIMIZE : 0;
        m_transform =
            cmsCreateTransform(source, format, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, flags);
        cmsCloseProfile(srgb);
    }
    cmsCloseProfile(source);
}

IccToSrgb::~IccToSrgb()
{
    if (m_transform)
        cmsDeleteTransform(m_transform);
}

void IccToSrgb::convert(const uchar *in, uchar *out, int width) const
{
    cmsDoTransform(m_transform, in, out, cmsUInt32Number(width));
    // Little CMS leaves the fourth byte alone; RGB32 wants it opaque.
    auto *pixels = reinterpret_cast<quint32 *>(out);
    for (int x = 0; x < width; ++x)
        pixels[x] |= 0xFF000000u;
}

void convertToSrgb(QImage &image, QByteArrayView iccProfile)
{
    if (iccProfile.isEmpty() || isSrgb(iccProfile))
        return;
    // Qt spreads the work over the processor's cores and knows premultiplied alpha.
    const QColorSpace source = QColorSpace::fromIccProfile(iccProfile.toByteArray());
    if (!source.isValid())
        return;
    image.setColorSpace(source);
    image.convertToColorSpace(QColorSpace::SRgb);
}

// Qt's QImageReader is not on this path (its JPEG, GIF and BMP handlers, their format
// guessing and their 128 MB allocation limit): each reader here checks kMaxPicturePixels
// against the declared size itself, before it allocates anything.
QImage decodeRaster(QByteArrayView bytes, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return decodeJpeg(bytes);
    case PictureFormat::Gif:
        return decodeGif(bytes);
    case PictureFormat::Bmp:
        return decodeBmp(bytes);
    default:
        refusePicture();
    }
}

} // namespace lumora::platform
