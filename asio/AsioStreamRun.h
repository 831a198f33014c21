#pragma once
// What exists only while a stream runs (start to stop): the raised timer
// resolution, the streaming thread and the notice thread. Destroying it
// signals the stop event, waits for both threads to end and then restores
// the timer resolution, so no buffer switch runs once the run is gone.
//
// A host may stop, or release the driver, from inside a callback, that is on
// the streaming thread itself. That thread cannot wait for its own end:
// Join then only signals the stop event, and the thread leaves its loop when
// the callback returns.
#include "AsioNoticeThread.h"
#include "AsioTimerResolution.h"
#include "WnEvent.h"
#include "WnThread.h"

class AsioStreamRun
{
public:
    static constexpr UINT TIMER_PERIOD_MS = 1;

    // Raises the timer resolution; `stopEvent` ends both threads' loops.
    AsioStreamRun(WnEvent& stopEvent, KorvelAsioClient& client, AsioConfigStore& config,
                  AsioHostNotices& notices);
    ~AsioStreamRun();

    AsioStreamRun(const AsioStreamRun&) = delete;
    AsioStreamRun& operator=(const AsioStreamRun&) = delete;

    // Starts the notice thread and the streaming thread on `body` (default
    // stack size, runs at once): 0 or the first failure, after which
    // nothing runs.
    DWORD Start(WnThreadCallbackInterface* body);
    // Signals the stop event (failure ignored) and waits for the threads to
    // end; at once without threads. On the streaming thread it waits for
    // the notice thread only.
    void Join();

    // True once the stop event is signalled.
    bool StopRequested() const;
    HANDLE Thread() const { return m_thread.GetHandle(); }
    DWORD ThreadId() const { return m_thread.ThreadId(); }
    bool TimerRaised() const { return m_timer.Raised(); }

private:
    WnEvent& m_stopEvent;
    AsioTimerResolution m_timer;
    AsioNoticeThread m_notices;
    WnThread m_thread;
};
