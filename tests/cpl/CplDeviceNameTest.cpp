// The name a device is listed under: the model and its serial number.
#include "CplDeviceName.h"

#include <gtest/gtest.h>

#include <cwchar>

TEST(CplDeviceName, CarriesTheSerialAndIsPlainWithoutOne)
{
    KorvelDeviceInfo info{};
    EXPECT_EQ(CplDeviceName::Of(info), L"quillo");
    std::wcscpy(info.serialNumber, L"Q1234567");
    EXPECT_EQ(CplDeviceName::Of(info), L"quillo (Q1234567)");
    // A serial that fills its field without a terminator ends at the field.
    for (wchar_t& c : info.serialNumber)
        c = L'7';
    EXPECT_EQ(CplDeviceName::Of(info),
              L"quillo (" + std::wstring(KORVEL_SERIAL_NUMBER_CHARS, L'7') + L")");
}
