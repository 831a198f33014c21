#include "WnServiceCtrlHandle.h"

#include "WnLastError.h"

WnServiceCtrlHandle::~WnServiceCtrlHandle()
{
    Close();
}

void WnServiceCtrlHandle::Close()
{
    if (m_handle == nullptr) {
        return;
    }
    if (!CloseServiceHandle(m_handle)) {
        GetLastError(); // nothing a caller could do about it
    }
    m_handle = nullptr;
}

DWORD WnServiceCtrlHandle::Take(SC_HANDLE handle)
{
    if (handle == nullptr) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    m_handle = handle;
    return 0;
}
