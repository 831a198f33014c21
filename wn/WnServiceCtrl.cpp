#include "WnServiceCtrl.h"

DWORD WnServiceCtrl::Create(SC_HANDLE database, const wchar_t* name, const wchar_t* displayName,
                            DWORD access, DWORD serviceType, DWORD startType, DWORD errorControl,
                            const wchar_t* binaryPath, const wchar_t* loadOrderGroup, DWORD* tagId,
                            const wchar_t* dependencies, const wchar_t* account,
                            const wchar_t* password)
{
    Close();
    return Take(CreateServiceW(database, name, displayName, access, serviceType, startType,
                               errorControl, binaryPath, loadOrderGroup, tagId, dependencies,
                               account, password));
}

DWORD WnServiceCtrl::Open(SC_HANDLE database, const wchar_t* name, DWORD access)
{
    Close();
    return Take(OpenServiceW(database, name, access));
}
