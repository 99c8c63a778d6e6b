#include "picture/backgroundrows.h"

#include <algorithm>

namespace lumora::picture {

namespace {

// Rows taken at a time by either side: few enough that the two meet close to the middle.
constexpr int kRowsPerTake = 16;

} // namespace

BackgroundRows::BackgroundRows(QImage &image, int rows, bool bottomUp, Convert convert,
                               Converted converted)
    : m_bits(image.bits()), m_stride(image.bytesPerLine()), m_rows(rows), m_bottomUp(bottomUp),
      m_convert(std::move(convert)), m_converted(std::move(converted)), m_end(rows),
      m_thread([this] { run(); })
{
}

BackgroundRows::~BackgroundRows()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundRows::arrived(int rows)
{
    {
        const std::lock_guard lock(m_mutex);
        m_arrived = rows;
    }
    m_wake.notify_one();
}

void BackgroundRows::finish()
{
    arrived(m_rows);
    for (;;) {
        int first = 0;
        int end = 0;
        {
            const std::lock_guard lock(m_mutex);
            if (m_end <= m_next)
                break;
            end = m_end;
            first = std::max(m_next, end - kRowsPerTake);
            m_end = first;
        }
        convertRows(first, end);
    }
    m_thread.join();
}

uchar *BackgroundRows::row(int index) const
{
    return m_bits + m_stride * (m_bottomUp ? m_rows - 1 - index : index);
}

void BackgroundRows::convertRows(int first, int end)
{
    for (int index = first; index < end; ++index)
        m_convert(row(index));
}

void BackgroundRows::run()
{
    for (;;) {
        int first = 0;
        int end = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || m_next >= m_end || m_arrived > m_next; });
            if (m_stop || m_next >= m_end)
                return;
            first = m_next;
            end = std::min({m_arrived, m_end, first + kRowsPerTake});
            m_next = end;
        }
        convertRows(first, end);
        // This thread alone takes rows from the top, so every row above `end` is converted.
        if (m_converted)
            m_converted(end);
    }
}

} // namespace lumora::picture
