#include "CClassFactory.h"

#include "AsioModule.h"

#include <new>

CClassFactory::CClassFactory(const CFactoryTemplate* entry) : m_entry(entry) {}

HRESULT CClassFactory::GetClassObject(const CFactoryTemplate* table, int count, REFCLSID clsid,
                                      REFIID riid, void** ppv)
{
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
        return E_NOINTERFACE;
    }
    if (ppv == nullptr) {
        return E_POINTER;
    }
    for (int i = 0; i < count; ++i) {
        if (table[i].IsClassId(clsid)) {
            CClassFactory* factory = new (std::nothrow) CClassFactory(&table[i]);
            *ppv = factory;
            if (factory == nullptr) {
                return E_OUTOFMEMORY;
            }
            factory->AddRef();
            return S_OK;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG CClassFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

ULONG CClassFactory::Release()
{
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

HRESULT CClassFactory::CreateInstance(LPUNKNOWN outer, REFIID riid, void** ppv)
{
    if (ppv == nullptr) {
        return E_POINTER;
    }
    // An aggregating caller must ask for the inner IUnknown.
    if (outer != nullptr && riid != IID_IUnknown) {
        return E_NOINTERFACE;
    }
    HRESULT result = S_OK;
    CUnknown* object = m_entry->create(outer, &result);
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    if (FAILED(result)) {
        delete object;
        return result;
    }
    // An object for which no interface is handed out goes with this release.
    object->NonDelegatingAddRef();
    result = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return result;
}

HRESULT CClassFactory::LockServer(BOOL lock)
{
    AsioModule::LockServer(lock != FALSE);
    return S_OK;
}
