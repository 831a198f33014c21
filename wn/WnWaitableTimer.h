#pragma once

#include "WnHandle.h"
#include "WnWaitableTimerCallbackInterface.h"

// Owner of a waitable timer. Completions run as asynchronous procedure calls
// on the thread that armed the timer, and only while that thread waits
// alertably. The destructor cancels the timer before closing the handle.
class WnWaitableTimer : public WnHandle
{
public:
    WnWaitableTimer() = default;
    ~WnWaitableTimer() override;

    // Cancels and closes a held timer, then creates a waitable timer with the
    // given arguments. 0 or the last error.
    DWORD Create(BOOL manualReset, LPSECURITY_ATTRIBUTES security = nullptr,
                 const wchar_t* name = nullptr);

    // Arms the timer with a period of `periodMs` milliseconds; the first
    // expiry comes periodMs x 100 ns after the call (at once in practice).
    // With a callback, each completion calls callback->OnTimer(low, high).
    // 87 (ERROR_INVALID_PARAMETER) for a period of 0 or less, 6
    // (ERROR_INVALID_HANDLE) without a timer, else 0 or the last error.
    DWORD SetPeriodic(LONG periodMs, WnWaitableTimerCallbackInterface* callback, BOOL resume);

    // 0 when no timer is held or the cancel succeeds, else the last error.
    DWORD Cancel();

private:
    static VOID CALLBACK CompletionRoutine(LPVOID arg, DWORD low, DWORD high);
};
