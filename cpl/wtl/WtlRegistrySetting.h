#pragma once

#include <windows.h>

#include "WnRegistryKey.h"

// Settings kept as REG_DWORD values in one key under HKEY_CURRENT_USER (a
// test may give another root). The key is created on first use with read,
// set-value and create-subkey access; a key that cannot be opened makes
// every read fail and every write return the open's error.
class WtlRegistrySetting
{
public:
    explicit WtlRegistrySetting(const wchar_t* keyPath, HKEY root = HKEY_CURRENT_USER);

    // True only for a REG_DWORD of exactly four bytes; `value` is written only then.
    bool ReadDword(const wchar_t* name, DWORD& value);
    // 0 or the registry's error.
    DWORD WriteDword(const wchar_t* name, DWORD value);

private:
    DWORD OpenKey();

    const wchar_t* m_keyPath;
    HKEY m_root;
    WnRegistryKey m_key;
};
