#include "AsioRegistrar.h"

#include "WnRegistryKey.h"

#include <objbase.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr const wchar_t* CLASSES_KEY = L"CLSID";
constexpr const wchar_t* INPROC_KEY = L"InprocServer32";
constexpr const wchar_t* ASIO_LIST_KEY = L"SOFTWARE\\ASIO";

} // namespace

AsioRegistrar::AsioRegistrar(const CLSID& clsid, const wchar_t* asioKeyName,
                             const wchar_t* description, const wchar_t* threadingModel)
    : m_clsid(clsid), m_asioKeyName(asioKeyName), m_description(description),
      m_threadingModel(threadingModel)
{
}

void AsioRegistrar::ToLower(wchar_t* text)
{
    CharLowerW(text);
}

LONG AsioRegistrar::FormatClassId(wchar_t (&text)[CLSID_CHARS]) const
{
    LPOLESTR system = nullptr;
    HRESULT result = StringFromCLSID(m_clsid, &system);
    if (FAILED(result)) {
        return result;
    }
    std::swprintf(text, CLSID_CHARS, L"%.99ls", system);
    CoTaskMemFree(system);
    return 0;
}

LONG AsioRegistrar::RegisterModule(HMODULE module) const
{
    wchar_t path[PATH_CHARS] = {};
    DWORD length = GetModuleFileNameW(module, path, PATH_CHARS);
    if (length == 0) {
        DWORD error = GetLastError();
        return error != 0 ? static_cast<LONG>(error) : ERROR_FILE_NOT_FOUND;
    }
    if (length >= PATH_CHARS) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    return Register(path);
}

bool AsioRegistrar::ClassKeysMatch(const wchar_t* classKey, const wchar_t* lowerPath) const
{
    wchar_t inprocKey[PATH_CHARS];
    std::swprintf(inprocKey, PATH_CHARS, L"%ls\\%ls", classKey, INPROC_KEY);
    WnRegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, inprocKey, KEY_READ) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t current[PATH_CHARS] = {};
    DWORD size = sizeof(current) - sizeof(wchar_t); // room left for a terminator
    DWORD type = REG_NONE;
    if (key.ReadValue(nullptr, current, &size, &type) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        // A class entry without a readable path cannot be loaded: rewrite it.
        return false;
    }
    current[PATH_CHARS - 1] = L'\0';
    ToLower(current);
    return std::wcscmp(current, lowerPath) == 0;
}

void AsioRegistrar::WriteClassKeys(const wchar_t* classKey, const wchar_t* lowerPath) const
{
    // Failures here are not fatal: the ASIO list entry decides the result.
    WnRegistryKey key;
    if (key.Create(HKEY_CLASSES_ROOT, classKey, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        (void)key.WriteString(nullptr, m_description);
    }
    wchar_t inprocKey[PATH_CHARS];
    std::swprintf(inprocKey, PATH_CHARS, L"%ls\\%ls", classKey, INPROC_KEY);
    WnRegistryKey inproc;
    if (inproc.Create(HKEY_CLASSES_ROOT, inprocKey, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        (void)inproc.WriteString(nullptr, lowerPath);
        (void)inproc.WriteString(L"ThreadingModel", m_threadingModel);
    }
}

LONG AsioRegistrar::Register(const wchar_t* modulePath) const
{
    if (modulePath == nullptr || modulePath[0] == L'\0') {
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t lowerPath[PATH_CHARS] = {};
    if (std::wcslen(modulePath) >= PATH_CHARS) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::wcscpy(lowerPath, modulePath);
    ToLower(lowerPath);

    wchar_t clsid[CLSID_CHARS];
    LONG status = FormatClassId(clsid);
    if (status != 0) {
        return status;
    }
    wchar_t classKey[PATH_CHARS];
    std::swprintf(classKey, PATH_CHARS, L"%ls\\%ls", CLASSES_KEY, clsid);
    if (!ClassKeysMatch(classKey, lowerPath)) {
        WnRegistryKey classes;
        if (classes.Open(HKEY_CLASSES_ROOT, CLASSES_KEY, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
            (void)classes.DeleteTree(clsid);
        }
        WriteClassKeys(classKey, lowerPath);
    }

    WnRegistryKey list;
    if (list.Open(HKEY_LOCAL_MACHINE, ASIO_LIST_KEY, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        (void)list.DeleteTree(m_asioKeyName);
    }
    wchar_t entryKey[PATH_CHARS];
    std::swprintf(entryKey, PATH_CHARS, L"%ls\\%ls", ASIO_LIST_KEY, m_asioKeyName);
    WnRegistryKey entry;
    status = static_cast<LONG>(entry.Create(HKEY_LOCAL_MACHINE, entryKey, KEY_READ | KEY_WRITE));
    if (status == ERROR_SUCCESS) {
        (void)entry.WriteString(L"CLSID", clsid);
        (void)entry.WriteString(L"Description", m_description);
    }
    return status;
}

LONG AsioRegistrar::Unregister() const
{
    wchar_t clsid[CLSID_CHARS];
    LONG status = FormatClassId(clsid);
    if (status != 0) {
        return status;
    }
    WnRegistryKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, CLASSES_KEY, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        (void)classes.DeleteTree(clsid);
    }
    WnRegistryKey list;
    if (list.Open(HKEY_LOCAL_MACHINE, ASIO_LIST_KEY, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        (void)list.DeleteTree(m_asioKeyName);
    }
    return 0;
}

void AsioRegistrar::ReportFailure(const wchar_t* what, LONG code) const
{
    wchar_t text[128];
    std::swprintf(text, 128, L"%ls (%ld)", what, code);
    MessageBoxW(nullptr, text, m_description, MB_OK);
}
