#pragma once

#include <windows.h>

// Owner of one registry key (null when closed). Every operation returns the
// registry call's status (0 = success).
class WnRegistryKey
{
public:
    WnRegistryKey() = default;
    ~WnRegistryKey();

    WnRegistryKey(const WnRegistryKey&) = delete;
    WnRegistryKey& operator=(const WnRegistryKey&) = delete;

    // Closes a held key, then creates or opens `subkey` under `parent`
    // (no class, non-volatile, default security).
    DWORD Create(HKEY parent, const wchar_t* subkey, REGSAM access);
    // Closes a held key, then opens an existing `subkey` under `parent`.
    DWORD Open(HKEY parent, const wchar_t* subkey, REGSAM access);
    // Closes a held key; a failure to close is dropped.
    void Close();

    // Reads a REG_DWORD value. 11 (ERROR_BAD_FORMAT) when the value has
    // another type or size, 2 (ERROR_FILE_NOT_FOUND) when it is missing;
    // `value` is written only on success.
    DWORD ReadDword(const wchar_t* name, DWORD& value) const;
    DWORD WriteDword(const wchar_t* name, DWORD value) const;
    // Writes a zero-terminated text as REG_SZ or REG_EXPAND_SZ; any other
    // type gives 11 (ERROR_BAD_FORMAT) and writes nothing.
    DWORD WriteString(const wchar_t* name, const wchar_t* text, DWORD type = REG_SZ) const;

    // Raw access: `size` is the buffer size in and the value size out;
    // `type` (optional) receives the value's type.
    DWORD ReadValue(const wchar_t* name, void* buffer, DWORD* size, DWORD* type = nullptr) const;
    DWORD WriteBinary(const wchar_t* name, const void* data, DWORD size) const;

    // Deletes subkey `name` (which must have no subkeys) of the held key.
    DWORD DeleteSubkey(const wchar_t* name) const;
    // Deletes subkey `name` of the held key together with all its subkeys.
    DWORD DeleteTree(const wchar_t* name) const;

    // The raw key (null when closed).
    HKEY GetKey() const { return m_key; }

private:
    HKEY m_key = nullptr;
};
