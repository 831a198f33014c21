#pragma once
// The name under which a device is shown where several are listed side by
// side (page tree, device list, mixer captions): "quillo (serial)", so that
// two devices of the same model can be told apart. A device that reports no
// serial number is plain "quillo".
#include "KorvelRecords.h"

#include <string>

class CplDeviceName
{
public:
    static constexpr const wchar_t* MODEL = L"quillo";

    static std::wstring Of(const KorvelDeviceInfo& info);
};
