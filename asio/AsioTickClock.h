#pragma once
// The system clock of the buffer switches in milliseconds, 64 bits wide.
// timeGetTime wraps after 49.7 days; every wrap seen between two readings
// adds 2^32, so the time stamps a host receives never jump back. Readings
// must come more often than once per wrap, which the switches of a running
// stream always do. Used by one thread at a time.
#include <windows.h>

#include <cstdint>

class AsioTickClock
{
public:
    using Source = DWORD(WINAPI*)();

    // `source` is the 32-bit millisecond clock (timeGetTime by default).
    explicit AsioTickClock(Source source = nullptr);

    uint64_t Milliseconds();

private:
    Source m_source;
    DWORD m_last = 0;
    uint64_t m_wraps = 0; // the high 32 bits
    bool m_started = false;
};
