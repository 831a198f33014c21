// The in-process server's entry points: the class table with its one class,
// the library entry point and the four exports (undecorated, see
// brindleasio.def). Everything else lives in the driver's library so that
// tests can drive it without loading the DLL.
#include "AsioDriver.h"
#include "AsioModule.h"
#include "AsioRegistrar.h"
#include "CClassFactory.h"
#include "CFactoryTemplate.h"

#include <objbase.h>

namespace {

const CFactoryTemplate g_templates[] = {
    {L"ASIODRV", &CLSID_BRINDLE_ASIO, &AsioDriver::CreateInstance, nullptr},
};
constexpr int TEMPLATE_COUNT = sizeof(g_templates) / sizeof(g_templates[0]);

const AsioRegistrar& Registrar()
{
    static const AsioRegistrar registrar(CLSID_BRINDLE_ASIO, L"Brindle ASIO",
                                         L"Brindle ASIO Driver", L"Apartment");
    return registrar;
}

void CallLoadRoutines(BOOL loading)
{
    for (const CFactoryTemplate& entry : g_templates) {
        if (entry.loadUnload != nullptr) {
            entry.loadUnload(loading, entry.clsid);
        }
    }
}

// The registration exports report a failure in a message box and return -1.
HRESULT Reported(LONG status, const wchar_t* what)
{
    if (status == 0) {
        return S_OK;
    }
    Registrar().ReportFailure(what, status);
    return static_cast<HRESULT>(0xFFFFFFFF);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        AsioModule::SetHandle(instance);
        CallLoadRoutines(TRUE);
        break;
    case DLL_PROCESS_DETACH:
        CallLoadRoutines(FALSE);
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return CClassFactory::GetClassObject(g_templates, TEMPLATE_COUNT, rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return AsioModule::CanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return Reported(Registrar().RegisterModule(AsioModule::Handle()), L"Register server failed !");
}

STDAPI DllUnregisterServer()
{
    return Reported(Registrar().Unregister(), L"Unregister server failed !");
}
