#pragma once

#include <QImage>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace lumora::picture {

// Runs a conversion over an image's rows on a second thread as a decoder finishes them, so
// that it overlaps the decoding instead of following it as a pass of its own.
class BackgroundRows final {
public:
    using Convert = std::function<void(uchar *row)>;
    // Told, on the second thread, how many rows in arrival order are converted so far, so that
    // they can be shown while the rest are still being decoded.
    using Converted = std::function<void(int rows)>;

    // `rows` rows of `image` arrive top down, or bottom up (a picture stored upside down).
    BackgroundRows(QImage &image, int rows, bool bottomUp, Convert convert,
                   Converted converted = {});
    // Stops without converting what is left (a decode that failed), and waits.
    ~BackgroundRows();
    BackgroundRows(const BackgroundRows &) = delete;
    BackgroundRows &operator=(const BackgroundRows &) = delete;

    // The first `rows` rows in arrival order are whole and may be converted.
    void arrived(int rows);
    // Converts every row that is left, from the last one up while the thread goes on from the
    // top, so that a thread kept off its core by a busy machine is not waited for.
    void finish();

private:
    void run();
    uchar *row(int index) const;
    void convertRows(int first, int end);

    uchar *m_bits;
    qsizetype m_stride;
    int m_rows;
    bool m_bottomUp;
    Convert m_convert;
    Converted m_converted;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_arrived = 0;
    int m_next = 0; // the first row nobody has taken yet
    int m_end = 0;  // and the end of those rows: finish() takes them from the bottom
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace lumora::picture
