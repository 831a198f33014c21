#pragma once
// quilloctl's connection to the kernel driver: the panel's own client object,
// opened as a panel connection with its notification event, and the device
// found by the serial number a user types.
#include "CtlReport.h"
#include "KorvelCplClient.h"

#include <string>

class CtlConnection
{
public:
    // Opens the client and enumerates; the failing status, 0 when open.
    DWORD Open();
    KorvelCplClient& Client() { return m_client; }

    // The attached device with this serial number (any case), or null.
    KorvelDevice* FindBySerial(const std::string& serial);
    static std::string Serial(const KorvelDevice& device);

    // Reports a failed request to the service: absent when the exchange
    // itself failed (no service, no answer), refused when it answered no.
    int ServiceFailure(CtlReport& report, const std::string& what, DWORD status) const;
    // Reports a serial that names no attached device.
    static int NoSuchDevice(CtlReport& report, const std::string& serial);

private:
    KorvelCplClient m_client;
};
