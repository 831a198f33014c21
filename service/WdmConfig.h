#pragma once
// The per-device WDM configuration kept in the registry: under
// HKEY_LOCAL_MACHINE\<root>\Devices\<serial number>, the REG_DWORD values
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
