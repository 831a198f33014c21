#include "WtlRegistrySetting.h"

WtlRegistrySetting::WtlRegistrySetting(const wchar_t* keyPath, HKEY root)
    : m_keyPath(keyPath), m_root(root)
{
}

DWORD WtlRegistrySetting::OpenKey()
{
    if (m_key.GetKey() != nullptr) {
        return ERROR_SUCCESS;
    }
    return m_key.Create(m_root, m_keyPath, KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
}

bool WtlRegistrySetting::ReadDword(const wchar_t* name, DWORD& value)
{
    return OpenKey() == ERROR_SUCCESS && m_key.ReadDword(name, value) == ERROR_SUCCESS;
}

DWORD WtlRegistrySetting::WriteDword(const wchar_t* name, DWORD value)
{
    DWORD status = OpenKey();
    return status != ERROR_SUCCESS ? status : m_key.WriteDword(name, value);
}
