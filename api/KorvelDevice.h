#pragma once
// A connection bound to one device: it keeps the device's entry from the last
// enumeration and carries the device-level requests on its own handle, which
// is never shared with the driver connection that found the device.
#include "KorvelApiContext.h"

class KorvelDevice : public KorvelApiContext
{
public:
    KorvelDevice();
    ~KorvelDevice() override;

    // Called after the connection is bound to the device; a non-zero status
    // makes the open fail. The base has nothing to set up.
    virtual DWORD OnOpened();

    // Opens a connection to control device `name` and binds it to the device
    // that `info` names. On failure the connection is left closed.
    // KORVEL_STATUS_REJECTED on an open device, whose name and info stay.
    DWORD OpenFor(const wchar_t* name, const KorvelDeviceInfo& info);

    // The device's entry from the last enumeration (zero until opened).
    const KorvelDeviceInfo& Info() const { return m_info; }
    // Replaces the entry when an enumeration finds the device again; the
    // handle stays bound as it is.
    void UpdateInfo(const KorvelDeviceInfo& info) { m_info = info; }

    // The name the device's connection was opened with.
    const wchar_t* ControlDeviceName() const { return m_name; }

private:
    KorvelDeviceInfo m_info{};
    wchar_t m_name[NAME_CHARS] = {};
};
