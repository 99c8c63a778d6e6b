#pragma once

#include <QImage>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace lumora::picture {

// Rows [first, first + count) of a picture.
struct RowBand {
    int first = 0;
    int count = 0;
    int end() const { return first + count; }
};

// A picture while its decoder fills it, so that it can be shown as it arrives. The decoding
// thread announces the pixels it writes into (`begin`), then every band of rows it has
// finished; the thread that shows the picture takes the bands and paints only finished rows.
//
// The viewer reads the pixels through `read`, never keeping them: a decode that fails
// withdraws them before it frees them, and from then on `read` does nothing. A decode that
// succeeds leaves them to its result, which keeps them alive.
class RowArrival final {
public:
    using Listener = std::function<void()>;

    // Decoding thread. `pixels` holds the picture at its top left, `picture` pixels of it.
    void begin(const QImage &pixels, QSize picture);
    void finished(RowBand band);
    void withdraw() noexcept;
    // The decode ended with `result`: the pixels announced are withdrawn unless they are its.
    void settle(const QImage &result) noexcept;
    // The read is over, whatever became of it.
    void end() noexcept;

    // Viewing thread. Blocks until the pixels are announced or the read is over; true when
    // there are pixels to show.
    bool waitForBegin() const;
    // Blocks until the read is over or `timeout` has passed; true when it is over.
    bool waitForEnd(std::chrono::milliseconds timeout) const;
    QSize pictureSize() const;
    // `listener` runs on the decoding thread when bands are waiting, once until the next
    // takeBands (which it may call itself); at once when some wait already. Null stops it:
    // once setListener returns, the old listener is not running and never runs again.
    void setListener(Listener listener);
    std::vector<RowBand> takeBands();
    // Runs `paint` on the pixels unless they were withdrawn; returns whether it ran.
    bool read(const std::function<void(const QImage &)> &paint) const;

private:
    // Whether the listener is to be told of waiting bands; marks it told.
    bool takeNotice();
    void notify();

    mutable std::shared_mutex m_pixelsLock;
    QImage m_view; // a read-only view of the decoder's pixels; null once withdrawn

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QSize m_picture;
    bool m_begun = false;
    bool m_ended = false;
    std::vector<RowBand> m_bands;
    bool m_notified = false;

    std::mutex m_listenerMutex; // held while the listener runs
    Listener m_listener;
    bool m_hasListener = false; // guarded by m_mutex
};

// Withdraws the pixels unless released: a decoder keeps one while it may fail.
class ArrivalGuard final {
public:
    explicit ArrivalGuard(RowArrival *arrival) : m_arrival(arrival) {}
    ~ArrivalGuard()
    {
        if (m_arrival)
            m_arrival->withdraw();
    }
    ArrivalGuard(const ArrivalGuard &) = delete;
    ArrivalGuard &operator=(const ArrivalGuard &) = delete;
    void release() { m_arrival = nullptr; }

private:
    RowArrival *m_arrival;
};

// What a decoder that fills rows top down tells the arrival, a band at a time, and where it
// notices that nobody waits for its result any more (it then refuses the picture).
class RowProgress final {
public:
    RowProgress(RowArrival *arrival, const std::atomic<bool> *cancelled)
        : m_arrival(arrival), m_cancelled(cancelled)
    {
    }
    void begin(const QImage &image);
    // Row `y` is whole; rows come in order.
    void rowDone(int y);
    // The rows are all done; with a RowArrival, the bands left are announced.
    void flush();

private:
    RowArrival *m_arrival;
    const std::atomic<bool> *m_cancelled;
    int m_first = 0; // the first row not yet announced
    int m_end = 0;
};

} // namespace lumora::picture
