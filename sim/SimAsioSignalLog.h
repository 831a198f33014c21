#pragma once
// The QueryPerformanceCounter value of each buffer-event signal of one ASIO
// stream: a ring of the last CAPACITY values, preallocated so that the pacing
// thread only stores a number. One writer (the pacing thread); WriteTo may
// run on any other thread meanwhile and leaves out what the writer
// overwrote while it copied.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class SimAsioSignalLog
{
public:
    static constexpr uint64_t CAPACITY = 65536;

    SimAsioSignalLog() : m_ring(CAPACITY) {}

    void Record(uint64_t counter)
    {
        uint64_t n = m_count.load(std::memory_order_relaxed);
        m_ring[n % CAPACITY] = counter;
        m_count.store(n + 1, std::memory_order_release);
    }

    uint64_t Count() const { return m_count.load(std::memory_order_acquire); }

    // The kept values, oldest first.
    std::vector<uint64_t> Snapshot() const;
    // One decimal number per line, oldest first. False when the file could
    // not be written.
    bool WriteTo(const std::string& path) const;

private:
    std::vector<uint64_t> m_ring;
    std::atomic<uint64_t> m_count{0};
};
