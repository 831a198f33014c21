#include "WnThread.h"

#include <cerrno>
#include <process.h>

DWORD WnThread::Start(WnThreadCallbackInterface* callback, DWORD stackSize, DWORD creationFlags)
{
    if (m_handle != nullptr) {
        return ERROR_ALREADY_EXISTS;
    }
    if (callback == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    unsigned threadId = 0;
    errno = 0;
    uintptr_t handle = _beginthreadex(nullptr, stackSize, &WnThread::ThreadStart, callback,
                                      creationFlags, &threadId);
    if (handle == 0) {
        m_threadId = 0;
        // The runtime may fail before reaching the system (bad arguments, no
        // memory) and then reports through errno only.
        return LastErrorOr(errno == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
    }
    m_handle = reinterpret_cast<HANDLE>(handle);
    m_threadId = threadId;
    return ERROR_SUCCESS;
}

DWORD WnThread::Wait(DWORD timeoutMs)
{
    if (m_handle == nullptr) {
        return ERROR_SUCCESS;
    }
    DWORD result = WaitForSingleObject(m_handle, timeoutMs);
    if (result != WAIT_OBJECT_0) {
        // Still running (or the wait failed): the handle stays, so a second
        // Start is refused until the thread has been seen to end.
        return result;
    }
    Close();
    return ERROR_SUCCESS;
}

unsigned __stdcall WnThread::ThreadStart(void* param)
{
    return static_cast<unsigned>(static_cast<WnThreadCallbackInterface*>(param)->Run());
}
