#include "picture/backgroundrows.h"

namespace lumora::picture {

BackgroundRows::BackgroundRows(QImage &image, int rows, bool bottomUp, Convert convert)
    : m_bits(image.bits()), m_stride(image.bytesPerLine()), m_rows(rows), m_bottomUp(bottomUp),
      m_convert(std::move(convert)), m_thread([this] { run(); })
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
    m_thread.join();
}

uchar *BackgroundRows::row(int index) const
{
    return m_bits + m_stride * (m_bottomUp ? m_rows - 1 - index : index);
}

void BackgroundRows::run()
{
    int done = 0;
    while (done < m_rows) {
        int ready = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || m_arrived > done; });
            if (m_stop)
                return;
            ready = m_arrived;
        }
        for (; done < ready; ++done)
            m_convert(row(done));
    }
}

} // namespace lumora::picture
