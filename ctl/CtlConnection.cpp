#include "CtlConnection.h"

#include "CtlText.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"

DWORD CtlConnection::Open()
{
    DWORD status = m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    bool changed = false;
    status = m_client.RefreshDevices(changed);
    if (status != KORVEL_STATUS_SUCCESS) {
        m_client.CloseAll();
    }
    return status;
}

KorvelDevice* CtlConnection::FindBySerial(const std::string& serial)
{
    for (size_t i = 0; i < m_client.DeviceCount(); ++i) {
        KorvelDevice* device = m_client.DeviceAt(i);
        if (CtlText::SameText(Serial(*device), serial)) {
            return device;
        }
    }
    return nullptr;
}

std::string CtlConnection::Serial(const KorvelDevice& device)
{
    // The record's text may lack its terminator: copy within the field.
    const KorvelDeviceInfo& info = device.Info();
    std::wstring serial(info.serialNumber, KORVEL_SERIAL_NUMBER_CHARS);
    serial.resize(serial.find(L'\0') == std::wstring::npos ? serial.size() : serial.find(L'\0'));
    return CtlText::Utf8(serial);
}

int CtlConnection::ServiceFailure(CtlReport& report, const std::string& what, DWORD status) const
{
    if (m_client.LastExchangeStatus() != KORVEL_STATUS_SUCCESS) {
        return report.Absent(what, status);
    }
    return report.Refused(what, status);
}

int CtlConnection::NoSuchDevice(CtlReport& report, const std::string& serial)
{
    return report.Refused("no device with serial number " + serial, KORVEL_STATUS_NO_DEVICE);
}
