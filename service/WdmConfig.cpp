#include "WdmConfig.h"

#include "KorvelProductKey.h"

#include <cwchar>

std::wstring WdmConfig::KeyName(const std::wstring& serial)
{
    if (serial.empty()) {
        return NO_SERIAL_KEY;
    }
    std::wstring name;
    for (wchar_t c : serial) {
        if (c != L'\\' && c != L'%' && c >= 0x20 && c != 0x7F) {
            name += c;
            continue;
        }
        wchar_t escaped[4];
        std::swprintf(escaped, 4, L"%%%02X", static_cast<unsigned>(c));
        name += escaped;
    }
    return name;
}

DWORD WdmConfig::OpenDeviceKey(const std::wstring& root, const std::wstring& serial,
                               WnRegistryKey& key)
{
    // One path, so that every level is created in the product's view.
    const std::wstring path = root + L"\\" + DEVICES_KEY + L"\\" + KeyName(serial);
    const DWORD status = KorvelProductKey::Create(key, KEY_READ | KEY_WRITE, path.c_str());
    if (status != ERROR_SUCCESS) {
        key.Close();
    }
    return status;
}

DWORD WdmConfig::Load(const std::wstring& root, const std::wstring& serial, uint32_t& render,
                      uint32_t& capture)
{
    WnRegistryKey key;
    DWORD status = OpenDeviceKey(root, serial, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // ReadDword refuses another type or size, so such a value is passed over.
    DWORD value = 0;
    if (key.ReadDword(RENDER_VALUE, value) == ERROR_SUCCESS) {
        render = value;
    }
    if (key.ReadDword(CAPTURE_VALUE, value) == ERROR_SUCCESS) {
        capture = value;
    }
    return ERROR_SUCCESS;
}

DWORD WdmConfig::Store(const std::wstring& root, const std::wstring& serial, uint32_t render,
                       uint32_t capture)
{
    WnRegistryKey key;
    DWORD status = OpenDeviceKey(root, serial, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    (void)key.WriteDword(RENDER_VALUE, render);
    (void)key.WriteDword(CAPTURE_VALUE, capture);
    return ERROR_SUCCESS;
}
