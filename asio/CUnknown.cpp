#include "CUnknown.h"

CUnknown::CUnknown(const wchar_t*, LPUNKNOWN outer, HRESULT*)
    : m_owner(outer != nullptr ? outer
                               : reinterpret_cast<LPUNKNOWN>(
                                     static_cast<INonDelegatingUnknown*>(this)))
{
}

HRESULT CUnknown::GetInterface(void* iface, void** ppv)
{
    *ppv = iface;
    NonDelegatingAddRef();
    return S_OK;
}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown) {
        return GetInterface(static_cast<INonDelegatingUnknown*>(this), ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef()
{
    LONG count = InterlockedIncrement(&m_refCount);
    return static_cast<ULONG>(count > 1 ? count : 1);
}

ULONG CUnknown::NonDelegatingRelease()
{
    LONG count = InterlockedDecrement(&m_refCount);
    if (count != 0) {
        return static_cast<ULONG>(count > 1 ? count : 1);
    }
    m_refCount = 1;
    DestroySelf();
    return 0;
}

void CUnknown::DestroySelf()
{
    delete this;
}
