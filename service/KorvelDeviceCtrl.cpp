#include "KorvelDeviceCtrl.h"

#include <wchar.h>

DWORD KorvelDeviceCtrl::OnOpened()
{
    return ERROR_SUCCESS;
}

std::wstring KorvelDeviceCtrl::GetSerialNumber() const
{
    // The field comes from the kernel driver and need not be terminated.
    const wchar_t* serial = Info().serialNumber;
    return std::wstring(serial, wcsnlen(serial, KORVEL_SERIAL_NUMBER_CHARS));
}

DWORD KorvelDeviceCtrl::BeforeStateChange(uint32_t, uint32_t, uint32_t)
{
    return ERROR_SUCCESS;
}

void KorvelDeviceCtrl::AfterStateChange(uint32_t, uint32_t, uint32_t) {}

void KorvelDeviceCtrl::StateChangeFailed(uint32_t, uint32_t, DWORD) {}

void KorvelDeviceCtrl::OnMixerGainsChanged() {}

void KorvelDeviceCtrl::OnEndpointEvent1(uint32_t) {}

void KorvelDeviceCtrl::OnEndpointEvent2(uint32_t) {}

DWORD KorvelDeviceCtrl::SetDsdMode(uint8_t)
{
    return ERROR_SUCCESS;
}

DWORD KorvelDeviceCtrl::Prepare()
{
    return ERROR_SUCCESS;
}
