#pragma once
// What is waiting to be told to the host, handed to the streaming thread
// without a lock: the notice thread (the service's notifications) and the
// host's own threads (a rate change they made, a change found at start) post
// bits here and signal the wake event; the streaming thread waits on that
// event beside the buffer event, takes all bits at once and sends the host
// one message for them (see AsioStreamEngine::TellHost).
#include "WnEvent.h"

#include <atomic>
#include <cstdint>

class AsioHostNotices
{
public:
    enum Bits : uint32_t {
        STREAMING_CHANGED = 1u << 0, // the service's streaming-changed notice
        RATE_CHANGED = 1u << 1,      // the service's sample-rate-changed notice
        DRIVER_RESET = 1u << 2,      // the driver itself needs the host to reset
    };

    // The wake event: auto-reset, not signalled. 0 or the creation status.
    DWORD Create();

    void Post(uint32_t bits);
    // All posted bits, cleared.
    uint32_t Take() { return m_bits.exchange(0, std::memory_order_acq_rel); }
    // Forgets what was posted (a new run starts from here).
    void Clear();

    HANDLE WakeEvent() const { return m_wake.GetHandle(); }

private:
    std::atomic<uint32_t> m_bits{0};
    WnEvent m_wake;
};
