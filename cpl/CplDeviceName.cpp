#include "CplDeviceName.h"

#include <cwchar>

std::wstring CplDeviceName::Of(const KorvelDeviceInfo& info)
{
    // The record's text need not be terminated: read no further than its field.
    const size_t length = wcsnlen(info.serialNumber, KORVEL_SERIAL_NUMBER_CHARS);
    if (length == 0) {
        return MODEL;
    }
    return std::wstring(MODEL) + L" (" + std::wstring(info.serialNumber, length) + L")";
}
