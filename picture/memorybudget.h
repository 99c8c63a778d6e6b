#pragma once

#include <QtGlobal>
#include <atomic>

namespace lumora::picture {

// The bytes that the program's big, long-lived pixel buffers may take together: every loaded
// picture, every picture box drawing and the screen show's read-ahead. Each buffer asks for
// its bytes before it touches any memory and holds a Reservation for as long as its pixels
// live, so opening more than the machine can hold fails for that one picture instead of
// waking the kernel's out-of-memory killer. Safe to use from any thread: the show reads ahead
// on a worker thread.
class MemoryBudget final {
public:
    // Bytes taken from a budget; they go back when the reservation is destroyed or released.
    // Move-only, so a buffer's bytes are given back exactly once.
    class Reservation final {
    public:
        Reservation() = default;
        ~Reservation() { release(); }
        Reservation(Reservation &&other) noexcept;
        Reservation &operator=(Reservation &&other) noexcept;
        Reservation(const Reservation &) = delete;
        Reservation &operator=(const Reservation &) = delete;

        // False for a refused request (and for a reservation moved from or released).
        bool isGranted() const { return m_budget != nullptr; }
        qint64 bytes() const { return m_bytes; }
        void release() noexcept;

    private:
        friend class MemoryBudget;
        Reservation(MemoryBudget *budget, qint64 bytes) : m_budget(budget), m_bytes(bytes) {}

        MemoryBudget *m_budget = nullptr;
        qint64 m_bytes = 0;
    };

    explicit MemoryBudget(qint64 totalBytes) : m_total(totalBytes) {}
    MemoryBudget(const MemoryBudget &) = delete;
    MemoryBudget &operator=(const MemoryBudget &) = delete;

    // The budget of this process, sized from the machine at first use (see machinememory.h).
    // It is never destroyed, so pictures that outlive main() can still give their bytes back.
    static MemoryBudget &process();

    qint64 totalBytes() const { return m_total.load(); }
    qint64 usedBytes() const { return m_used.load(); }
    // A smaller total than what is in use refuses every request until enough is given back.
    void setTotalBytes(qint64 bytes) { m_total.store(bytes); }

    // A reservation of `bytes`, or a refused (not granted) one when they would take the budget
    // past its total. Negative requests are refused.
    Reservation tryReserve(qint64 bytes) noexcept;
    // As tryReserve, but a refusal throws RuntimeError (errors::OutOfMemory).
    Reservation reserve(qint64 bytes);

private:
    void giveBack(qint64 bytes) noexcept { m_used.fetch_sub(bytes); }

    std::atomic<qint64> m_total;
    std::atomic<qint64> m_used{0};
};

} // namespace lumora::picture
