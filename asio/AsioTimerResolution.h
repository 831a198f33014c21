#pragma once
// Raises the system timer resolution for as long as it lives, which makes
// the millisecond time stamps of the buffer switches exact to one period.
#include <windows.h>

class AsioTimerResolution
{
public:
    explicit AsioTimerResolution(UINT periodMs);
    ~AsioTimerResolution();

    AsioTimerResolution(const AsioTimerResolution&) = delete;
    AsioTimerResolution& operator=(const AsioTimerResolution&) = delete;

    // False when the system refused the period; nothing is undone then.
    bool Raised() const { return m_raised; }

private:
    UINT m_periodMs;
    bool m_raised;
};
