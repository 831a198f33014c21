#pragma once
// Aggregation-capable reference counting. The owner is the outer unknown of
// an aggregated object, else the object's own non-delegating unknown; a
// derived class forwards its IUnknown methods to the owner.
#include "CBaseObject.h"
#include "INonDelegatingUnknown.h"

class CUnknown : public INonDelegatingUnknown, public CBaseObject
{
public:
    // `name` is ignored; `result` is left untouched.
    CUnknown(const wchar_t* name, LPUNKNOWN outer, HRESULT* result);
    ~CUnknown() override = default;

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    // At zero the count is set to 1 before the object is destroyed, so that a
    // release made during destruction cannot destroy it a second time.
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    LPUNKNOWN GetOwner() const { return m_owner; }

protected:
    // Hands out `iface` after a NonDelegatingAddRef.
    HRESULT GetInterface(void* iface, void** ppv);
    // Called when the last reference is gone: deletes the object. A derived
    // class that cannot be destroyed on the releasing thread may defer it.
    virtual void DestroySelf();

private:
    LPUNKNOWN m_owner;
    volatile LONG m_refCount = 0;
};
