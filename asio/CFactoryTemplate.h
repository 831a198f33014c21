#pragma once
// One entry of the module's class table: what the class factory needs to
// create an object of one class.
#include "CUnknown.h"

typedef CUnknown*(__stdcall* AsioCreateRoutine)(LPUNKNOWN outer, HRESULT* result);
typedef void(__stdcall* AsioLoadRoutine)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate
{
    const wchar_t* name; // not used
    const CLSID* clsid;
    AsioCreateRoutine create;
    AsioLoadRoutine loadUnload; // may be null

    bool IsClassId(REFCLSID id) const { return *clsid == id; }
};
