#pragma once

#include "WnHandle.h"
#include "WnThreadCallbackInterface.h"

// Owner of a thread handle. The destructor only closes the handle; it neither
// waits for nor stops the thread, so owners call Wait first.
class WnThread : public WnHandle
{
public:
    WnThread() = default;
    ~WnThread() override = default;

    // Starts a thread through the C runtime (so the runtime is initialised
    // for it) that runs callback->Run() and ends with its result.
    // 183 (ERROR_ALREADY_EXISTS) while a thread handle is held, 87 for a null
    // callback, else 0 or the last error.
    DWORD Start(WnThreadCallbackInterface* callback, DWORD stackSize = 0, DWORD creationFlags = 0);

    // 0 when empty or once the thread has ended (the handle is then closed);
    // otherwise the wait result unchanged (258 = WAIT_TIMEOUT, 0xFFFFFFFF =
    // WAIT_FAILED) with the handle kept.
    DWORD Wait(DWORD timeoutMs = INFINITE);

    // Id of the started thread, 0 when no handle is held: the id belongs to
    // the handle, so WnHandle::Close (also through a base reference) forgets
    // it too.
    DWORD ThreadId() const { return m_handle != nullptr ? m_threadId : 0; }

private:
    static unsigned __stdcall ThreadStart(void* param);

    DWORD m_threadId = 0;
};
