#pragma once

#include "WnServiceCtrlHandle.h"

// Handle of the local machine's active service database.
class WnServiceCtrlMgr : public WnServiceCtrlHandle
{
public:
    WnServiceCtrlMgr() = default;
    ~WnServiceCtrlMgr() override = default;

    // Closes a held handle, then opens "ServicesActive" with
    // SC_MANAGER_ALL_ACCESS. 0 or the last error.
    DWORD Open();
};
