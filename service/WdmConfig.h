#pragma once
// The per-device WDM configuration kept in the registry: under
// HKEY_LOCAL_MACHINE\<root>\Devices\<serial number> (in the product's registry
// view, KorvelProductKey.h), the REG_DWORD values
// "WdmRenderSoundDeviceConfiguration" and "WdmCaptureSoundDeviceConfiguration".
// Keying by serial number keeps each physical device's configuration across
// reconnections and ports.
#include "WnRegistryKey.h"

#include <cstdint>
#include <string>

class WdmConfig
{
public:
    static constexpr const wchar_t* RENDER_VALUE = L"WdmRenderSoundDeviceConfiguration";
    static constexpr const wchar_t* CAPTURE_VALUE = L"WdmCaptureSoundDeviceConfiguration";
    static constexpr const wchar_t* DEVICES_KEY = L"Devices";

    // Name of the key of a device without a serial number. The escaped names
    // below never start with "%N", so no serial number can reach this key.
    static constexpr const wchar_t* NO_SERIAL_KEY = L"%NoSerialNumber";

    // The subkey name for a serial number. A key name cannot hold a
    // backslash (it would open a deeper level) and must not be empty (that
    // would open "Devices" itself), so a backslash, a percent sign and any
    // control character become "%XX" (the code in two hexadecimal digits);
    // other serial numbers are used unchanged, so that the configuration
    // stored under them is found again.
    static std::wstring KeyName(const std::wstring& serial);

    // Opens (creating missing levels) the device's key with read/write access.
    // The registry's status on failure; `key` is then closed.
    static DWORD OpenDeviceKey(const std::wstring& root, const std::wstring& serial,
                               WnRegistryKey& key);

    // Reads both values. A value is taken only when it is a REG_DWORD of 4
    // bytes; otherwise its member keeps what it held. A failure to open the
    // key is returned and leaves both members unchanged.
    static DWORD Load(const std::wstring& root, const std::wstring& serial, uint32_t& render,
                      uint32_t& capture);

    // Writes both values as REG_DWORD. A failure to open the key is
    // returned; write failures are not (nothing could be done about them).
    static DWORD Store(const std::wstring& root, const std::wstring& serial, uint32_t render,
                       uint32_t capture);
};
