#pragma once
// A bounded first-in first-out queue of messages for one connection. A full
// queue drops its oldest entry and counts it, so a client that never drains
// cannot make the simulator grow without limit.
#include "KorvelMessage.h"

#include <cstddef>
#include <cstdint>
#include <deque>

class SimMessageQueue
{
public:
    static constexpr size_t DEFAULT_CAPACITY = 256;

    explicit SimMessageQueue(size_t capacity = DEFAULT_CAPACITY) : m_capacity(capacity) {}

    // Appends a copy; returns true when the oldest entry had to be dropped.
    bool Push(const KorvelMessage& message);

    // Takes the oldest entry; false when empty.
    bool Pop(KorvelMessage& message);

    void Clear() { m_entries.clear(); }
    size_t Size() const { return m_entries.size(); }
    uint64_t Dropped() const { return m_dropped; }

private:
    size_t m_capacity;
    std::deque<KorvelMessage> m_entries;
    uint64_t m_dropped = 0;
};
