#include "HostDriverList.h"

#include "WnRegistryKey.h"

#include <objbase.h>

namespace {

constexpr const wchar_t* ASIO_ROOT = L"SOFTWARE\\ASIO";

std::wstring ReadString(const WnRegistryKey& key, const wchar_t* name)
{
    wchar_t data[512] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (key.ReadValue(name, data, &size, &type) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    data[size / sizeof(wchar_t) < 512 ? size / sizeof(wchar_t) : 511] = L'\0';
    return data;
}

} // namespace

DWORD HostDriverList::Read()
{
    m_entries.clear();
    WnRegistryKey root;
    DWORD status = root.Open(HKEY_LOCAL_MACHINE, ASIO_ROOT, KEY_READ);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        LONG result =
            RegEnumKeyExW(root.GetKey(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) {
            break; // ERROR_NO_MORE_ITEMS, or a key that changed under us
        }
        m_entries.push_back(ReadEntry(root.GetKey(), name));
    }
    return ERROR_SUCCESS;
}

HostDriverEntry HostDriverList::ReadEntry(HKEY asioKey, const std::wstring& name)
{
    HostDriverEntry entry;
    entry.name = name;
    WnRegistryKey key;
    if (key.Open(asioKey, name.c_str(), KEY_READ) != ERROR_SUCCESS) {
        return entry;
    }
    entry.description = ReadString(key, L"Description");
    entry.clsidText = ReadString(key, L"CLSID");
    entry.clsidValid = !entry.clsidText.empty() &&
                       CLSIDFromString(entry.clsidText.c_str(), &entry.clsid) == NOERROR;
    if (entry.clsidValid) {
        WnRegistryKey server;
        std::wstring path = L"CLSID\\" + entry.clsidText + L"\\InprocServer32";
        if (server.Open(HKEY_CLASSES_ROOT, path.c_str(), KEY_READ) == ERROR_SUCCESS) {
            entry.registered = true;
            entry.serverPath = ReadString(server, nullptr);
        }
    }
    return entry;
}

const HostDriverEntry* HostDriverList::Find(const std::wstring& name) const
{
    for (const HostDriverEntry& entry : m_entries) {
        if (lstrcmpiW(entry.name.c_str(), name.c_str()) == 0) {
            return &entry;
        }
    }
    return nullptr;
}
