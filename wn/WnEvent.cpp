#include "WnEvent.h"

DWORD WnEvent::Create(BOOL manualReset, BOOL initialState)
{
    Close();
    m_handle = CreateEventW(nullptr, manualReset, initialState, nullptr);
    if (m_handle == nullptr) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    return ERROR_SUCCESS;
}

DWORD WnEvent::Set()
{
    if (m_handle == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return SetEvent(m_handle) ? ERROR_SUCCESS : LastErrorOr(ERROR_INVALID_HANDLE);
}

DWORD WnEvent::Reset()
{
    if (m_handle == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return ResetEvent(m_handle) ? ERROR_SUCCESS : LastErrorOr(ERROR_INVALID_HANDLE);
}
