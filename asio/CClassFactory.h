#pragma once
// The class factory handed out by DllGetClassObject, bound to one entry of the
// class table. Its reference count is interlocked: COM may add and release
// references from several threads.
#include "CFactoryTemplate.h"

#include <unknwn.h>

class CClassFactory : public IClassFactory
{
public:
    explicit CClassFactory(const CFactoryTemplate* entry);
    virtual ~CClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(LPUNKNOWN outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    // DllGetClassObject: the interface is checked before the class id.
    static HRESULT GetClassObject(const CFactoryTemplate* table, int count, REFCLSID clsid,
                                  REFIID riid, void** ppv);

private:
    volatile LONG m_refCount = 0;
    const CFactoryTemplate* m_entry;
};
