#pragma once
// The inner IUnknown of an object that can be aggregated. Its three slots
// have IUnknown's layout and convention, so a pointer to it serves as the
// object's own IUnknown when there is no outer object.
#include <unknwn.h>

struct INonDelegatingUnknown
{
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};
