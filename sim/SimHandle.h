#pragma once
// Owner of a kernel handle that another call produced (a pipe instance, a
// handle duplicated from a client). Adds taking over and giving up a raw
// handle to the plain handle owner.
#include "WnHandle.h"

class SimHandle : public WnHandle
{
public:
    SimHandle() = default;
    explicit SimHandle(HANDLE handle) { Attach(handle); }
    ~SimHandle() override = default;

    // Closes a held handle, then owns `handle`. INVALID_HANDLE_VALUE (the
    // failure result of CreateFileW and CreateNamedPipeW) is stored as null.
    void Attach(HANDLE handle)
    {
        Close();
        m_handle = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }

    // Gives up ownership without closing.
    HANDLE Detach()
    {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

    bool IsValid() const { return m_handle != nullptr; }
};
