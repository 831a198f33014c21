#pragma once
// Turns the signals of one event into window messages: a thread waits on the
// watched event and posts the configured message to the target window for
// every signal, so that whatever the event announces is handled on the
// window's own thread. The thread never touches the window beyond posting.
#include "WnEvent.h"
#include "WnThread.h"
#include "WnThreadCallbackInterface.h"

class WnPostWindowMessageThread : public WnThreadCallbackInterface
{
public:
    // Creates the auto-reset stop event; a failure leaves it empty and
    // Start then refuses to run.
    WnPostWindowMessageThread();
    // Stops a thread that still runs, so that it never outlives its body.
    ~WnPostWindowMessageThread() override;

    // Stores where to post what on which event. ERROR_BUSY (170) while the
    // thread runs: the three values are read by the thread unlocked.
    DWORD Configure(HWND targetWindow, HANDLE watchedEvent, UINT message);

    // Starts the thread. ERROR_INVALID_HANDLE (6) without a watched event or
    // a stop event (the thread could only spin on a failing wait),
    // ERROR_ALREADY_EXISTS (183) while it runs, else WnThread::Start's result.
    DWORD Start();

    // Signals the stop event and waits, without time limit, until the thread
    // has ended. Nothing when no thread runs.
    void Stop();

    bool IsRunning() const { return m_thread.GetHandle() != nullptr; }

    // The thread body: one posted message per signal of the watched event
    // until the stop event is signalled.
    DWORD Run() override;

private:
    // Pause after a failed wait, so a handle that went bad cannot make the
    // thread burn a processor while it retries.
    static constexpr DWORD FAILED_WAIT_PAUSE_MS = 10;

    WnThread m_thread;
    HWND m_targetWindow = nullptr;
    HANDLE m_watchedEvent = nullptr; // not owned
    WnEvent m_stopEvent;
    UINT m_message = 0;
};
