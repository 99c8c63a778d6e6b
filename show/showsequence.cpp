#include "show/showsequence.h"

#include <algorithm>
#include <limits>

namespace lumora::show {

ShowSequence::Step ShowSequence::step(Trigger trigger)
{
    if (trigger == Trigger::Manual && automatic())
        return {Action::Nothing, m_index};
    // A show holds at most 32767 pictures, so the place past the last always fits in 16 bits.
    m_index = static_cast<short>(std::min<int>(m_index + 1, std::numeric_limits<short>::max()));
    if (m_index > lastIndex()) {
        if (trigger == Trigger::Manual || m_settings.ShowLoop != 1)
            return {Action::EndAfterLast, static_cast<short>(m_index - 1)};
        m_index = 0;
    }
    return {Action::Present, m_index};
}

void ShowSequence::pageUp()
{
    m_index = static_cast<short>(std::max<int>(m_index - 2, -1));
}

int ShowSequence::upcoming() const
{
    int next = m_index + 1;
    if (next > lastIndex()) {
        if (!loops())
            return -1;
        next = 0;
    }
    return next >= 0 && next <= lastIndex() ? next : -1;
}

} // namespace lumora::show
