#pragma once
// What exists only while a stream runs (start to stop): the raised timer
// resolution and the streaming thread. Destroying it signals the stop event,
// waits for the thread to end and then restores the timer resolution, so no
// buffer switch runs once the run is gone.
#include "AsioTimerResolution.h"
#include "WnEvent.h"
#include "WnThread.h"

class AsioStreamRun
{
public:
    static constexpr UINT TIMER_PERIOD_MS = 1;

    // Raises the timer resolution; `stopEvent` ends the thread's loop.
    explicit AsioStreamRun(WnEvent& stopEvent);
    ~AsioStreamRun();

    AsioStreamRun(const AsioStreamRun&) = delete;
    AsioStreamRun& operator=(const AsioStreamRun&) = delete;

    // Starts the thread (default stack size, runs at once): 0 or the status.
    DWORD Start(WnThreadCallbackInterface* body);
    // Signals the stop event (failure ignored) and waits for the thread to
    // end; at once without a thread.
    void Join();

    HANDLE Thread() const { return m_thread.GetHandle(); }
    DWORD ThreadId() const { return m_thread.ThreadId(); }
    bool TimerRaised() const { return m_timer.Raised(); }

private:
    WnEvent& m_stopEvent;
    AsioTimerResolution m_timer;
    WnThread m_thread;
};
