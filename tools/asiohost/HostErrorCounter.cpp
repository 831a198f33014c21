#include "HostErrorCounter.h"

#include "KorvelIoctl.h"

bool HostErrorCounter::Open()
{
    // A view connection: no events to register, and it does not count as
    // the control panel's main connection.
    return m_driver.OpenPanelView(KORVEL_CONTROL_DEVICE_NAME) == ERROR_SUCCESS;
}

bool HostErrorCounter::Read(uint32_t& asioErrors)
{
    KorvelStatusCounters counters{};
    if (!m_driver.IsOpen() || m_driver.GetStatusCounters(counters) != ERROR_SUCCESS) {
        return false;
    }
    asioErrors = counters.asioErrors;
    return true;
}
