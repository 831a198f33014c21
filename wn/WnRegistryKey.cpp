#include "WnRegistryKey.h"

#include <cwchar>

WnRegistryKey::~WnRegistryKey()
{
    Close();
}

DWORD WnRegistryKey::Create(HKEY parent, const wchar_t* subkey, REGSAM access)
{
    Close();
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(parent, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        m_key = key;
    }
    return static_cast<DWORD>(status);
}

DWORD WnRegistryKey::Open(HKEY parent, const wchar_t* subkey, REGSAM access)
{
    Close();
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(parent, subkey, 0, access, &key);
    if (status == ERROR_SUCCESS) {
        m_key = key;
    }
    return static_cast<DWORD>(status);
}

void WnRegistryKey::Close()
{
    if (m_key != nullptr) {
        // A failure to close is dropped; the key is no longer ours either way.
        (void)RegCloseKey(m_key);
        m_key = nullptr;
    }
}

DWORD WnRegistryKey::ReadDword(const wchar_t* name, DWORD& value) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    DWORD data = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(data);
    LONG status =
        RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status == ERROR_MORE_DATA) {
        // Longer than four bytes: whatever it is, it is not a DWORD.
        return ERROR_BAD_FORMAT;
    }
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    if (type != REG_DWORD || size != sizeof(data)) {
        return ERROR_BAD_FORMAT;
    }
    value = data;
    return ERROR_SUCCESS;
}

DWORD WnRegistryKey::WriteDword(const wchar_t* name, DWORD value) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return static_cast<DWORD>(RegSetValueExW(m_key, name, 0, REG_DWORD,
                                             reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

DWORD WnRegistryKey::WriteString(const wchar_t* name, const wchar_t* text, DWORD type) const
{
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return ERROR_BAD_FORMAT;
    }
    if (text == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    // Terminator included; a text too long for a DWORD byte count is refused.
    size_t chars = wcslen(text) + 1;
    if (chars > MAXDWORD / sizeof(wchar_t)) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD bytes = static_cast<DWORD>(chars * sizeof(wchar_t));
    return static_cast<DWORD>(
        RegSetValueExW(m_key, name, 0, type, reinterpret_cast<const BYTE*>(text), bytes));
}

DWORD WnRegistryKey::ReadValue(const wchar_t* name, void* buffer, DWORD* size, DWORD* type) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return static_cast<DWORD>(
        RegQueryValueExW(m_key, name, nullptr, type, static_cast<BYTE*>(buffer), size));
}

DWORD WnRegistryKey::WriteBinary(const wchar_t* name, const void* data, DWORD size) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (data == nullptr && size != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return static_cast<DWORD>(
        RegSetValueExW(m_key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size));
}

DWORD WnRegistryKey::DeleteSubkey(const wchar_t* name) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (name == nullptr || name[0] == L'\0') {
        // RegDeleteKeyW with an empty name would delete the held key itself.
        return ERROR_INVALID_PARAMETER;
    }
    return static_cast<DWORD>(RegDeleteKeyW(m_key, name));
}

DWORD WnRegistryKey::DeleteTree(const wchar_t* name) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (name == nullptr || name[0] == L'\0') {
        // An empty name would empty the held key itself.
        return ERROR_INVALID_PARAMETER;
    }
    return static_cast<DWORD>(RegDeleteTreeW(m_key, name));
}
