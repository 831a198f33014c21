#include "WnServiceCtrlMgr.h"

DWORD WnServiceCtrlMgr::Open()
{
    Close();
    return Take(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS));
}
