#pragma once
// The kernel driver's "ASIO Error Count" (the third status counter): the
// switches it signalled that the ASIO thread did not answer in time. Read
// through the device API on a connection of the control panel's kind, when
// a device is reachable; a host then judges missed switches by the
// counter's difference over its run instead of from gaps.
#include "KorvelDriver.h"

#include <cstdint>

class HostErrorCounter
{
public:
    // Opens the connection; false when no device is reachable.
    bool Open();
    // The counter now; false when the connection or the request failed.
    bool Read(uint32_t& asioErrors);
    void Close() { m_driver.CloseAll(); }

private:
    KorvelDriver m_driver;
};
