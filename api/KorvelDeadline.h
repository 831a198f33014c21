#pragma once
// A point in time a bounded wait or drain must not pass. INFINITE never
// expires. The tick count is 64-bit, so it does not wrap.
#include <windows.h>

#include <cstdint>

class KorvelDeadline
{
public:
    explicit KorvelDeadline(DWORD timeoutMs);

    bool Expired() const;
    // Milliseconds left (0 once expired), INFINITE for a deadline that never comes.
    DWORD RemainingMs() const;

private:
    bool m_infinite;
    uint64_t m_end;
};
