#pragma once
// One ASIO driver object loaded as hosts load it: by its registered name
// through CoCreateInstance with the class id also as the interface id (the
// pointer is used directly as the IASIO interface), or from a DLL through its
// DllGetClassObject export. The owner of the one reference and of the module.
#include "IASIO.h"

#include <windows.h>

#include <string>

// Where a driver comes from; kept so that a reset can load it again.
struct HostDriverSource
{
    std::wstring name;                // registered name (used when dllPath is empty)
    std::wstring dllPath;             // a DLL loaded directly
    CLSID clsid = CLSID_BRINDLE_ASIO; // the class asked of the DLL
};

class HostDriver
{
public:
    HostDriver() = default;
    ~HostDriver();
    HostDriver(const HostDriver&) = delete;
    HostDriver& operator=(const HostDriver&) = delete;

    // Creates the driver object: true, or false with `error` saying why.
    // COM must be initialised on the calling thread.
    bool Load(const HostDriverSource& source, std::string& error);
    // init; on failure `error` holds the driver's getErrorMessage text.
    bool Init(std::string& error);
    // Releases the object (all a host does to unload) and the module.
    void Release();

    bool Loaded() const { return m_asio != nullptr; }
    IASIO* Asio() const { return m_asio; }
    // getDriverName and getDriverVersion, read at Init.
    const std::string& Name() const { return m_name; }
    long Version() const { return m_version; }

private:
    bool LoadRegistered(const std::wstring& name, std::string& error);
    bool LoadFromDll(const std::wstring& path, const CLSID& clsid, std::string& error);

    IASIO* m_asio = nullptr;
    HMODULE m_module = nullptr;
    std::string m_name;
    long m_version = 0;
};
