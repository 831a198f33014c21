#pragma once

#include <windows.h>

#include "WnLastError.h"

// Owner of one kernel handle (null when empty). The handle is closed when the
// object is destroyed, closed explicitly or re-created by a derived class.
class WnHandle
{
public:
    WnHandle() = default;
    virtual ~WnHandle();

    WnHandle(const WnHandle&) = delete;
    WnHandle& operator=(const WnHandle&) = delete;

    // Closes a held handle and clears the member. A failure to close is
    // dropped: there is nothing a caller could do about it.
    void Close();

    // The raw handle (null when empty), e.g. for multi-object waits.
    HANDLE GetHandle() const { return m_handle; }

protected:
    HANDLE m_handle = nullptr;
};
