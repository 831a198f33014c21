#pragma once

#include <windows.h>

// Holds a critical section for the lifetime of a scope.
class WnCriticalSectionLock
{
public:
    explicit WnCriticalSectionLock(CRITICAL_SECTION& section) : m_section(section)
    {
        EnterCriticalSection(&m_section);
    }
    ~WnCriticalSectionLock() { LeaveCriticalSection(&m_section); }

    WnCriticalSectionLock(const WnCriticalSectionLock&) = delete;
    WnCriticalSectionLock& operator=(const WnCriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};
