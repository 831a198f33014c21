#pragma once
// What the in-process server keeps for the whole module: its handle (saved at
// process attach, used by registration and the control-panel launch), the
// server lock count and the live-object count. COM may lock the server,
// create and release objects and ask whether the module may unload from
// different threads, so both counts change only with interlocked operations.
#include <windows.h>

class AsioModule
{
public:
    static HMODULE Handle() { return s_module; }
    static void SetHandle(HMODULE module) { s_module = module; }

    static void LockServer(bool lock);
    static void ObjectCreated();
    static void ObjectDestroyed();

    static LONG LockCount() { return InterlockedCompareExchange(&s_lockCount, 0, 0); }
    static LONG ObjectCount() { return InterlockedCompareExchange(&s_objectCount, 0, 0); }

    // S_FALSE while the server is locked or an object lives, else S_OK.
    static HRESULT CanUnloadNow();

private:
    static HMODULE s_module;
    static volatile LONG s_lockCount;
    static volatile LONG s_objectCount;
};
