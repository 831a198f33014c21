#include "SimMessageQueue.h"

bool SimMessageQueue::Push(const KorvelMessage& message)
{
    bool dropped = false;
    if (m_capacity == 0) {
        ++m_dropped;
        return true;
    }
    if (m_entries.size() >= m_capacity) {
        m_entries.pop_front();
        ++m_dropped;
        dropped = true;
    }
    m_entries.push_back(message);
    return dropped;
}

bool SimMessageQueue::Pop(KorvelMessage& message)
{
    if (m_entries.empty()) {
        return false;
    }
    message = m_entries.front();
    m_entries.pop_front();
    return true;
}
