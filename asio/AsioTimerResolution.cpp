#include "AsioTimerResolution.h"

#include <mmsystem.h>

AsioTimerResolution::AsioTimerResolution(UINT periodMs)
    : m_periodMs(periodMs), m_raised(timeBeginPeriod(periodMs) == TIMERR_NOERROR)
{
}

AsioTimerResolution::~AsioTimerResolution()
{
    if (m_raised) {
        (void)timeEndPeriod(m_periodMs);
    }
}
