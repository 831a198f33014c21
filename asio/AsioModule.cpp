#include "AsioModule.h"

HMODULE AsioModule::s_module = nullptr;
volatile LONG AsioModule::s_lockCount = 0;
volatile LONG AsioModule::s_objectCount = 0;

void AsioModule::LockServer(bool lock)
{
    if (lock) {
        InterlockedIncrement(&s_lockCount);
    } else {
        InterlockedDecrement(&s_lockCount);
    }
}

void AsioModule::ObjectCreated()
{
    InterlockedIncrement(&s_objectCount);
}

void AsioModule::ObjectDestroyed()
{
    InterlockedDecrement(&s_objectCount);
}

HRESULT AsioModule::CanUnloadNow()
{
    return LockCount() > 0 || ObjectCount() != 0 ? S_FALSE : S_OK;
}
