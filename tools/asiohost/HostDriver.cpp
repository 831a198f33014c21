#include "HostDriver.h"

#include "HostAsioText.h"
#include "HostDriverList.h"

#include <objbase.h>

#include <cstdio>

namespace {

using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(__stdcall*)();

std::string HresultText(HRESULT result)
{
    char text[32];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

} // namespace

HostDriver::~HostDriver()
{
    Release();
}

bool HostDriver::Load(const HostDriverSource& source, std::string& error)
{
    Release();
    return source.dllPath.empty() ? LoadRegistered(source.name, error)
                                  : LoadFromDll(source.dllPath, source.clsid, error);
}

bool HostDriver::LoadRegistered(const std::wstring& name, std::string& error)
{
    HostDriverList list;
    DWORD status = list.Read();
    const HostDriverEntry* entry = status == ERROR_SUCCESS ? list.Find(name) : nullptr;
    if (entry == nullptr) {
        error = "no ASIO driver named \"" + HostAsioText::Narrow(name) +
                "\" is installed (see asiohost list)";
        return false;
    }
    if (!entry->clsidValid || !entry->registered) {
        error = "the ASIO driver \"" + HostAsioText::Narrow(name) + "\" is listed but its class " +
                HostAsioText::Narrow(entry->clsidText) + " is not registered";
        return false;
    }
    void* object = nullptr;
    // The class id is also the interface id: that is how hosts ask for IASIO.
    HRESULT result =
        CoCreateInstance(entry->clsid, nullptr, CLSCTX_INPROC_SERVER, entry->clsid, &object);
    if (FAILED(result) || object == nullptr) {
        error = "the ASIO driver \"" + HostAsioText::Narrow(name) +
                "\" could not be created (CoCreateInstance " + HresultText(result) + ")";
        return false;
    }
    m_asio = static_cast<IASIO*>(object);
    return true;
}

bool HostDriver::LoadFromDll(const std::wstring& path, const CLSID& clsid, std::string& error)
{
    m_module = LoadLibraryW(path.c_str());
    if (m_module == nullptr) {
        error = "cannot load " + HostAsioText::Narrow(path) + " (error " +
                std::to_string(GetLastError()) + ")";
        return false;
    }
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(m_module, "DllGetClassObject")));
    if (getClassObject == nullptr) {
        error = HostAsioText::Narrow(path) + " has no DllGetClassObject export";
        Release();
        return false;
    }
    IClassFactory* factory = nullptr;
    HRESULT result = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result) || factory == nullptr) {
        error = HostAsioText::Narrow(path) + " has no class factory for the class (" +
                HresultText(result) + ")";
        Release();
        return false;
    }
    void* object = nullptr;
    result = factory->CreateInstance(nullptr, clsid, &object);
    factory->Release();
    if (FAILED(result) || object == nullptr) {
        error = "the driver in " + HostAsioText::Narrow(path) + " could not be created (" +
                HresultText(result) + ")";
        Release();
        return false;
    }
    m_asio = static_cast<IASIO*>(object);
    return true;
}

bool HostDriver::Init(std::string& error)
{
    if (m_asio == nullptr) {
        error = "no driver is loaded";
        return false;
    }
    if (m_asio->init(GetConsoleWindow()) != ASIOTrue) {
        char text[124] = {};
        m_asio->getErrorMessage(text);
        text[sizeof(text) - 1] = '\0';
        error = std::string("init failed: ") + (text[0] != '\0' ? text : "(no error text)");
        return false;
    }
    char name[32] = {};
    m_asio->getDriverName(name);
    name[sizeof(name) - 1] = '\0';
    m_name = name;
    m_version = m_asio->getDriverVersion();
    return true;
}

void HostDriver::Release()
{
    if (m_asio != nullptr) {
        m_asio->Release();
        m_asio = nullptr;
    }
    if (m_module != nullptr) {
        // A module that still holds objects or locks stays loaded: unloading
        // it would pull code from under them.
        auto canUnload = reinterpret_cast<CanUnloadNowFn>(
            reinterpret_cast<void*>(GetProcAddress(m_module, "DllCanUnloadNow")));
        if (canUnload == nullptr || canUnload() == S_OK) {
            FreeLibrary(m_module);
        }
        m_module = nullptr;
    }
}
