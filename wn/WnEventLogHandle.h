#pragma once

#include <windows.h>

// Holder of one event-source handle (null when closed). How the handle is
// released is up to the derived class; this destructor does not close it.
class WnEventLogHandle
{
public:
    WnEventLogHandle() = default;
    virtual ~WnEventLogHandle() = default;

    WnEventLogHandle(const WnEventLogHandle&) = delete;
    WnEventLogHandle& operator=(const WnEventLogHandle&) = delete;

    // Releases the handle and clears it: 0 or the error of the release.
    virtual DWORD Close() = 0;

    HANDLE GetHandle() const { return m_handle; }

protected:
    HANDLE m_handle = nullptr;
};
