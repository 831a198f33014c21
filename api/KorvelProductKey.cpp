#include "KorvelProductKey.h"

DWORD KorvelProductKey::Open(WnRegistryKey& key, REGSAM access, const wchar_t* path)
{
    return key.Open(HKEY_LOCAL_MACHINE, path, Access(access));
}

DWORD KorvelProductKey::Create(WnRegistryKey& key, REGSAM access, const wchar_t* path)
{
    return key.Create(HKEY_LOCAL_MACHINE, path, Access(access));
}
