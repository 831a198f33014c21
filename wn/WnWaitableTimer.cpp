#include "WnWaitableTimer.h"

WnWaitableTimer::~WnWaitableTimer()
{
    // Cancelled first so that no completion reaches a callback whose owner is
    // going away; a failure is dropped.
    (void)Cancel();
    Close();
}

DWORD WnWaitableTimer::Create(BOOL manualReset, LPSECURITY_ATTRIBUTES security, const wchar_t* name)
{
    (void)Cancel();
    Close();
    m_handle = CreateWaitableTimerW(security, manualReset, name);
    if (m_handle == nullptr) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    return ERROR_SUCCESS;
}

DWORD WnWaitableTimer::SetPeriodic(LONG periodMs, WnWaitableTimerCallbackInterface* callback,
                                   BOOL resume)
{
    if (periodMs <= 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (m_handle == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    // A negative due time is relative, in 100 ns units: the first expiry
    // comes periodMs x 100 ns from now, so the first completion is at once.
    LARGE_INTEGER dueTime;
    dueTime.QuadPart = -static_cast<LONGLONG>(periodMs);
    PTIMERAPCROUTINE routine = callback != nullptr ? &WnWaitableTimer::CompletionRoutine : nullptr;
    if (!SetWaitableTimer(m_handle, &dueTime, periodMs, routine, callback, resume)) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    return ERROR_SUCCESS;
}

DWORD WnWaitableTimer::Cancel()
{
    if (m_handle == nullptr) {
        return ERROR_SUCCESS;
    }
    return CancelWaitableTimer(m_handle) ? ERROR_SUCCESS : LastErrorOr(ERROR_INVALID_HANDLE);
}

VOID CALLBACK WnWaitableTimer::CompletionRoutine(LPVOID arg, DWORD low, DWORD high)
{
    static_cast<WnWaitableTimerCallbackInterface*>(arg)->OnTimer(low, high);
}
