#include "picture/rowarrival.h"

#include "picture/picturelimits.h"

namespace lumora::picture {

void RowArrival::begin(const QImage &pixels, QSize picture)
{
    {
        std::unique_lock pixelsLock(m_pixelsLock);
        // A view, so that the decoder's own image stays unshared and is written in place.
        m_view = QImage(pixels.constBits(), pixels.width(), pixels.height(), pixels.bytesPerLine(),
                        pixels.format());
    }
    std::lock_guard lock(m_mutex);
    m_picture = picture;
    m_begun = true;
    m_changed.notify_all();
}

void RowArrival::finished(RowBand band)
{
    if (band.count <= 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        // Decoders mostly go down in order: a band that continues the last one extends it.
        if (!m_bands.empty() && m_bands.back().end() == band.first)
            m_bands.back().count += band.count;
        else
            m_bands.push_back(band);
    }
    notify();
}

bool RowArrival::takeNotice()
{
    std::lock_guard lock(m_mutex);
    if (!m_hasListener || m_notified || m_bands.empty())
        return false;
    m_notified = true;
    return true;
}

void RowArrival::notify()
{
    std::lock_guard listenerLock(m_listenerMutex);
    if (m_listener && takeNotice())
        m_listener();
}

void RowArrival::withdraw() noexcept
{
    std::unique_lock pixelsLock(m_pixelsLock);
    m_view = QImage();
}

void RowArrival::settle(const QImage &result) noexcept
{
    std::unique_lock pixelsLock(m_pixelsLock);
    if (m_view.constBits() != result.constBits())
        m_view = QImage();
}

void RowArrival::end() noexcept
{
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

bool RowArrival::waitForBegin() const
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_begun || m_ended; });
    return m_begun;
}

bool RowArrival::waitForEnd(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_ended; });
}

QSize RowArrival::pictureSize() const
{
    std::lock_guard lock(m_mutex);
    return m_picture;
}

void RowArrival::setListener(Listener listener)
{
    {
        std::lock_guard listenerLock(m_listenerMutex);
        std::lock_guard lock(m_mutex);
        m_hasListener = listener != nullptr;
        m_listener = std::move(listener);
        m_notified = false;
    }
    notify();
}

std::vector<RowBand> RowArrival::takeBands()
{
    std::lock_guard lock(m_mutex);
    m_notified = false;
    return std::exchange(m_bands, {});
}

bool RowArrival::read(const std::function<void(const QImage &)> &paint) const
{
    std::shared_lock pixelsLock(m_pixelsLock);
    if (m_view.isNull())
        return false;
    paint(m_view);
    return true;
}

namespace {
// Rows announced at once, and rows between two looks at whether the read is still wanted.
constexpr int kRowsPerBand = 16;
constexpr int kRowsBetweenCancelChecks = 64;
} // namespace

void RowProgress::begin(const QImage &image)
{
    if (m_arrival)
        m_arrival->begin(image, image.size());
}

void RowProgress::rowDone(int y)
{
    m_end = y + 1;
    if (m_cancelled && m_end % kRowsBetweenCancelChecks == 0 &&
        m_cancelled->load(std::memory_order_relaxed))
        refusePicture();
    if (m_end - m_first >= kRowsPerBand)
        flush();
}

void RowProgress::flush()
{
    if (m_arrival && m_end > m_first)
        m_arrival->finished({m_first, m_end - m_first});
    m_first = m_end;
}

} // namespace lumora::picture
