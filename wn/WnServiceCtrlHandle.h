#pragma once

#include <windows.h>

// Owner of one service control manager handle (null when empty). Destroying,
// re-opening or re-creating closes the old handle; a close failure is dropped.
class WnServiceCtrlHandle
{
public:
    WnServiceCtrlHandle() = default;
    virtual ~WnServiceCtrlHandle();

    WnServiceCtrlHandle(const WnServiceCtrlHandle&) = delete;
    WnServiceCtrlHandle& operator=(const WnServiceCtrlHandle&) = delete;

    void Close();
    SC_HANDLE GetHandle() const { return m_handle; }

protected:
    // Takes `handle` as the held handle: 0, or the last error when it is null
    // (never 0 for a failure, even when the call left no last error).
    DWORD Take(SC_HANDLE handle);

    SC_HANDLE m_handle = nullptr;
};
