#include "picture/imagememory.h"

#include "base/runtimeerror.h"
#include "picture/picturelimits.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <sys/mman.h>

namespace lumora::picture {

namespace {

// Below this an ordinary heap block is cheaper than a mapping of its own.
constexpr qsizetype kMappedImageBytes = qsizetype(4) << 20;
constexpr qsizetype kHugePageBytes = qsizetype(2) << 20;
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

} // namespace lumora::picture
