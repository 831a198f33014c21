#include "WtlDoubleClick.h"

#include <cstdlib>

bool WtlDoubleClick::Press(DWORD time, POINT point)
{
    // Unsigned difference: right across the wrap of the 32-bit message time.
    const bool quick = time - m_time < ::GetDoubleClickTime();
    const bool nearby = std::abs(point.x - m_point.x) <= ::GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                      std::abs(point.y - m_point.y) <= ::GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    if (m_armed && quick && nearby) {
        m_armed = false;
        return true;
    }
    m_armed = true;
    m_time = time;
    m_point = point;
    return false;
}
