#pragma once

#include "WnRegistryKey.h"

#include <windows.h>

// The product's registry root under HKEY_LOCAL_MACHINE.
constexpr const wchar_t* KORVEL_PRODUCT_KEY = L"Software\\VANTREL\\quillo";

// Opens the product's keys (the root above, and everything below any root a
// server is given) in the one registry view all deliverables share: the
// 64-bit view on 64-bit Windows, whatever the bitness of the process. The
// service and the setup that own these keys are 64-bit programs there, while
// hosts load the 32-bit driver; without the flag a 32-bit process reads and
// writes the redirected Wow6432Node copy instead. 32-bit Windows ignores the
// flag. The view is not remembered by a key handle, so every open of a key at
// or below the root goes through here, each with the whole path.
class KorvelProductKey
{
public:
    // The access mask of every open: `access` in the shared view.
    static constexpr REGSAM Access(REGSAM access) { return access | KEY_WOW64_64KEY; }

    // Opens the existing HKEY_LOCAL_MACHINE\`path`.
    static DWORD Open(WnRegistryKey& key, REGSAM access, const wchar_t* path = KORVEL_PRODUCT_KEY);
    // Creates HKEY_LOCAL_MACHINE\`path` (and any missing key above it) or
    // opens it when it exists.
    static DWORD Create(WnRegistryKey& key, REGSAM access,
                        const wchar_t* path = KORVEL_PRODUCT_KEY);
};
