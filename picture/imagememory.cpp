#include "picture/imagememory.h"

#include "base/runtimeerror.h"
#include "picture/picturelimits.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <thread>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older C libraries do not name it
#endif

namespace lumora::picture {

namespace {

// Below this an ordinary heap block is cheaper than a mapping of its own.
constexpr qsizetype kMappedImageBytes = qsizetype(4) << 20;
constexpr size_t kPageBytes = size_t(4) << 10;
// What the helper thread makes ready at a time, ahead of the thread that fills the image.
constexpr size_t kPopulateChunkBytes = size_t(4) << 20;
// How far the helper may go past the rows an image is known to hold (see noteRowsFilled).
constexpr size_t kPopulateAheadBytes = size_t(32) << 20;
struct Mapping {
    void *address;
    size_t length;
};

// Fresh pages cost the kernel a clearing at their first touch: about 60 ms for a 24-megapixel
// picture, more than a third of decoding it. A second thread touches them first, from the
// top down as decoders and painters fill an image, so that work runs on another core. Huge
// pages are not asked for: with the kernel's usual defrag=madvise a first touch of them waits
// for compaction, four times as long as ordinary pages for a cold process.
//
// For an image filled row by row it stays a little ahead of the rows reported: a small file
// that declares a gigantic picture then commits no more than the rows it really holds.
class Populater final {
public:
    Populater(const Mapping &mapping, size_t readyFrom)
        : m_filled(readyFrom), m_thread([this, mapping] { populate(mapping); })
    {
    }
    ~Populater()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    Populater(const Populater &) = delete;
    Populater &operator=(const Populater &) = delete;

    // The first `bytes` of the mapping are written (or about to be).
    void filled(size_t bytes)
    {
        {
            const std::lock_guard lock(m_mutex);
            if (bytes <= m_filled)
                return;
            m_filled = bytes;
            if (m_filled < m_wakeAt)
                return; // not yet worth a stretch of its own
        }
        m_wake.notify_one();
    }

private:
    // The end of the next stretch to make ready once `at` is reached; 0 when stopped. It waits
    // until a whole chunk may be done, so the rows reported one by one cost a wake-up a chunk.
    size_t nextEnd(size_t at, size_t length)
    {
        const size_t end = std::min(at + kPopulateChunkBytes, length);
        std::unique_lock lock(m_mutex);
        m_wakeAt = end > kPopulateAheadBytes ? end - kPopulateAheadBytes : 0;
        m_wake.wait(lock, [&] { return m_stop || m_filled >= m_wakeAt; });
        return m_stop ? 0 : end;
    }

    void populate(const Mapping &mapping)
    {
        auto *bytes = static_cast<char *>(mapping.address);
        size_t at = 0;
        while (at < mapping.length) {
            const size_t end = nextEnd(at, mapping.length);
            if (end <= at)
                return;
            if (madvise(bytes + at, end - at, MADV_POPULATE_WRITE) != 0)
                return; // an older kernel: the first touch clears the pages as before
            at = end;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    size_t m_filled;
    size_t m_wakeAt = 0; // what m_filled must reach for the helper to go on
    bool m_stop = false;
    std::thread m_thread;
};

// The page helpers of the images that have one, by the start of their pixels, so that a
// decoder can tell the helper of an image how far it has come (noteRowsFilled).
class HelperRegistry final {
public:
    void add(const Mapping &mapping, Populater *helper)
    {
        const std::lock_guard lock(m_mutex);
        m_helpers[static_cast<const uchar *>(mapping.address)] = {mapping.length, helper};
    }
    void remove(const Mapping &mapping)
    {
        const std::lock_guard lock(m_mutex);
        m_helpers.erase(static_cast<const uchar *>(mapping.address));
    }
    // Held under the lock, so the helper cannot go while it is told.
    void filled(const uchar *bits, size_t bytes)
    {
        const std::lock_guard lock(m_mutex);
        auto it = m_helpers.upper_bound(bits);
        if (it == m_helpers.begin())
            return;
        --it;
        const size_t offset = size_t(bits - it->first);
        if (offset < it->second.length)
            it->second.helper->filled(offset + bytes);
    }

private:
    struct Entry {
        size_t length;
        Populater *helper;
    };
    std::mutex m_mutex;
    std::map<const uchar *, Entry> m_helpers;
};

HelperRegistry &helpers()
{
    static auto *const registry = new HelperRegistry; // outlives images freed after main()
    return *registry;
}

// An image's pixel memory and the budget bytes it holds; both go when the last QImage that
// shares the pixels goes, so copies of a picture count once.
struct PixelBlock {
    Mapping mapping; // length 0: a heap block
    MemoryBudget::Reservation reservation;
    std::unique_ptr<Populater> populater;
};

void freeMapping(const Mapping &mapping)
{
    if (mapping.length > 0)
        munmap(mapping.address, mapping.length);
    else
        std::free(mapping.address);
}

// Giving a 24-megapixel picture's pages back to the kernel takes it 10 to 40 ms, all of it on
// the thread that lets the picture go: the show's next step and the closing of a window would
// wait for it. A short-lived thread of its own unmaps them instead.
std::atomic<int> g_unmapping{0};

void unmapLater(const Mapping &mapping)
{
    g_unmapping.fetch_add(1);
    try {
        std::thread([mapping] {
            munmap(mapping.address, mapping.length);
            g_unmapping.fetch_sub(1);
        }).detach();
    } catch (const std::system_error &) {
        munmap(mapping.address, mapping.length); // no thread to be had
        g_unmapping.fetch_sub(1);
    }
}

// The budget gets the bytes back at once, as the pixels can no longer be reached.
void freePixels(void *info)
{
    auto *block = static_cast<PixelBlock *>(info);
    if (block->populater) {
        helpers().remove(block->mapping);
        block->populater.reset(); // before the pages it touches go
    }
    if (block->mapping.length > 0)
        unmapLater(block->mapping);
    else
        std::free(block->mapping.address);
    delete block;
}

// What keeps a view's pixels: the image it shows part of.
void releaseViewed(void *info)
{
    delete static_cast<QImage *>(info);
}

[[noreturn]] void throwOutOfMemory()
{
    throw RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
}

// Maps `bytes` of zeroed memory of its own, given back whole when the image goes.
Mapping mapFresh(size_t bytes)
{
    const size_t length = (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
    void *raw = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return {nullptr, 0};
    return {raw, length};
}

} // namespace

bool releasingPages()
{
    return g_unmapping.load() > 0;
}

qint64 imageBytes(QSize size, QImage::Format format)
{
    if (size.isEmpty())
        return 0;
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    return (qint64(size.width()) * depth + 31) / 32 * 4 * size.height();
}

QImage allocateZeroedImage(QSize size, QImage::Format format, Filling filling)
{
    MemoryBudget::Reservation reservation =
        MemoryBudget::process().reserve(imageBytes(size, format));
    return allocateZeroedImage(size, format, std::move(reservation), filling);
}

QImage allocateZeroedImage(QSize size, QImage::Format format, MemoryBudget::Reservation reservation,
                           Filling filling)
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
        mapping = mapFresh(size_t(bytes));
    }
    if (!mapping.address)
        throwOutOfMemory();
    auto *block = new (std::nothrow) PixelBlock{mapping, std::move(reservation), nullptr};
    if (!block) {
        freeMapping(mapping);
        throwOutOfMemory();
    }
    if (mapping.length > 0 && filling != Filling::Sparse) {
        try {
            const size_t readyFrom = filling == Filling::Whole ? mapping.length : 0;
            block->populater = std::make_unique<Populater>(mapping, readyFrom);
            helpers().add(mapping, block->populater.get());
        } catch (const std::system_error &) {
            // No thread to be had: the pages are cleared as they are first touched.
        }
    }
    QImage image(static_cast<uchar *>(mapping.address), size.width(), size.height(),
                 qsizetype(bytesPerLine), format, freePixels, block);
    if (image.isNull()) {
        freePixels(block);
        throwOutOfMemory();
    }
    return image;
}

void noteRowsFilled(const QImage &image, int rows)
{
    if (rows <= 0 || image.isNull())
        return;
    const int whole = std::min(rows, image.height());
    helpers().filled(image.constBits(), size_t(image.bytesPerLine()) * size_t(whole));
}

void fillStrip(QImage &canvas, QSize picture, QRgb colour)
{
    const int strip = canvas.width() - picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(canvas.scanLine(y)) + picture.width();
        std::fill(row, row + strip, colour);
    }
    for (int y = picture.height(); y < canvas.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(canvas.scanLine(y));
        std::fill(row, row + canvas.width(), colour);
    }
}

QImage allocateCanvas(QSize picture, const DrawingStrip &strip,
                      MemoryBudget::Reservation reservation)
{
    const QSize size = picture + QSize(strip.pixels, strip.pixels);
    QImage canvas = allocateZeroedImage(size, QImage::Format_RGB32, std::move(reservation));
    fillStrip(canvas, picture, strip.colour);
    return canvas;
}

QImage pictureView(const QImage &canvas, QSize size)
{
    auto *kept = new QImage(canvas);
    QImage view(kept->constBits(), size.width(), size.height(), kept->bytesPerLine(),
                kept->format(), releaseViewed, kept);
    if (view.isNull()) {
        delete kept;
        throwOutOfMemory();
    }
    return view;
}

} // namespace lumora::picture
