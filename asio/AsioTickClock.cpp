#include "AsioTickClock.h"

#include <mmsystem.h>

AsioTickClock::AsioTickClock(Source source) : m_source(source != nullptr ? source : &timeGetTime)
{
}

uint64_t AsioTickClock::Milliseconds()
{
    const DWORD now = m_source();
    if (m_started && now < m_last) {
        ++m_wraps;
    }
    m_started = true;
    m_last = now;
    return (m_wraps << 32) | now;
}
