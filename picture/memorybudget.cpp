#include "picture/memorybudget.h"

#include "base/runtimeerror.h"
#include "picture/machinememory.h"

#include <utility>

namespace lumora::picture {

MemoryBudget::Reservation::Reservation(Reservation &&other) noexcept
    : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(std::exchange(other.m_bytes, 0))
{
}

MemoryBudget::Reservation &MemoryBudget::Reservation::operator=(Reservation &&other) noexcept
{
    if (this != &other) {
        release();
        m_budget = std::exchange(other.m_budget, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

void MemoryBudget::Reservation::release() noexcept
{
    if (m_budget)
        m_budget->giveBack(m_bytes);
    m_budget = nullptr;
    m_bytes = 0;
}

MemoryBudget &MemoryBudget::process()
{
    static auto *const budget = new MemoryBudget(budgetBytesAtStartUp());
    return *budget;
}

MemoryBudget::Reservation MemoryBudget::tryReserve(qint64 bytes) noexcept
{
    if (bytes < 0)
        return {};
    qint64 used = m_used.load();
    do {
        // Compared as a difference, so a request near the type's limit cannot overflow.
        if (bytes > m_total.load() - used)
            return {};
    } while (!m_used.compare_exchange_weak(used, used + bytes));
    return Reservation(this, bytes);
}

MemoryBudget::Reservation MemoryBudget::reserve(qint64 bytes)
{
    Reservation reservation = tryReserve(bytes);
    if (!reservation.isGranted())
        throw RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
    return reservation;
}

} // namespace lumora::picture
