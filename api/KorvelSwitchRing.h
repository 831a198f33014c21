#pragma once
// What the buffer-switch path leaves for the diagnostic log: fixed-size
// entries in a lock-free ring with one writer (the streaming thread) and one
// reader (the log's writer thread). Pushing neither locks, allocates nor
// calls the system; a full ring drops the entry and counts it, and the log
// says how many it lost.
#include <x86intrin.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

struct KorvelSwitchEntry
{
    uint64_t index;         // the stream's switch number, from 0
    uint64_t time;          // Ticks() when the switch began
    uint32_t callbackTicks; // how long the host's callback took, in Ticks()
    uint32_t reserved;
};

class KorvelSwitchRing
{
public:
    static constexpr size_t CAPACITY = 4096; // a power of two

    // The switch path's clock: the processor's time-stamp counter, a few
    // nanoseconds to read where the performance counter may cost a system
    // call; the log's writer converts it against the performance counter.
    static uint64_t Ticks() noexcept { return __rdtsc(); }

    // The streaming thread: false (and counted) when the ring is full.
    bool Push(const KorvelSwitchEntry& entry) noexcept
    {
        const uint64_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tail.load(std::memory_order_acquire) >= CAPACITY) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        m_entries[head & (CAPACITY - 1)] = entry;
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }

    // The log's writer thread: false when the ring is empty.
    bool Pop(KorvelSwitchEntry& entry) noexcept
    {
        const uint64_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail == m_head.load(std::memory_order_acquire)) {
            return false;
        }
        entry = m_entries[tail & (CAPACITY - 1)];
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Entries dropped since the last call.
    uint64_t TakeDropped() noexcept { return m_dropped.exchange(0, std::memory_order_relaxed); }

private:
    static_assert((CAPACITY & (CAPACITY - 1)) == 0);

    // Each index on its own cache line: the two threads do not share one.
    alignas(64) std::atomic<uint64_t> m_head{0};
    alignas(64) std::atomic<uint64_t> m_tail{0};
    alignas(64) std::atomic<uint64_t> m_dropped{0};
    KorvelSwitchEntry m_entries[CAPACITY] = {};
};
