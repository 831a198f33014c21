#pragma once

#include "WnServiceCtrlHandle.h"

// Handle of one service.
class WnServiceCtrl : public WnServiceCtrlHandle
{
public:
    WnServiceCtrl() = default;
    ~WnServiceCtrl() override = default;

    // Closes a held handle, then CreateServiceW with exactly these arguments.
    // 0 or the last error (1073 ERROR_SERVICE_EXISTS for a known name).
    DWORD Create(SC_HANDLE database, const wchar_t* name, const wchar_t* displayName, DWORD access,
                 DWORD serviceType, DWORD startType, DWORD errorControl, const wchar_t* binaryPath,
                 const wchar_t* loadOrderGroup, DWORD* tagId, const wchar_t* dependencies,
                 const wchar_t* account, const wchar_t* password);

    // Closes a held handle, then OpenServiceW. 0 or the last error
    // (1060 ERROR_SERVICE_DOES_NOT_EXIST for an unknown name).
    DWORD Open(SC_HANDLE database, const wchar_t* name, DWORD access);
};
