#pragma once
// The driver's copy of the kernel driver's stream configuration: the rate
// table, the current rate and the buffer size. The host's threads read it and
// the notice thread refreshes it, so one lock guards the record; the request
// that refreshes it runs outside the lock, and no reader ever waits on the
// kernel driver. The current rate and buffer size are also kept in atomics
// for the streaming thread, which takes no lock.
#include "KorvelAsioClient.h"

#include <atomic>
#include <cstdint>

class AsioConfigStore
{
public:
    AsioConfigStore();
    ~AsioConfigStore();

    AsioConfigStore(const AsioConfigStore&) = delete;
    AsioConfigStore& operator=(const AsioConfigStore&) = delete;

    KorvelAsioStreamConfig Get() const;
    // Reads the configuration again; a failed read keeps the previous values.
    DWORD Refresh(KorvelAsioClient& client);

    uint32_t CurrentRate() const { return m_rate.load(std::memory_order_acquire); }
    uint32_t BufferSize() const { return m_bufferSize.load(std::memory_order_acquire); }

private:
    mutable CRITICAL_SECTION m_lock;
    KorvelAsioStreamConfig m_config = {};
    std::atomic<uint32_t> m_rate{0};
    std::atomic<uint32_t> m_bufferSize{0};
};
