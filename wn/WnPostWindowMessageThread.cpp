#include "WnPostWindowMessageThread.h"

WnPostWindowMessageThread::WnPostWindowMessageThread()
{
    m_stopEvent.Create(FALSE, FALSE);
}

WnPostWindowMessageThread::~WnPostWindowMessageThread()
{
    Stop();
}

DWORD WnPostWindowMessageThread::Configure(HWND targetWindow, HANDLE watchedEvent, UINT message)
{
    if (IsRunning()) {
        return ERROR_BUSY;
    }
    m_targetWindow = targetWindow;
    m_watchedEvent = watchedEvent;
    m_message = message;
    return ERROR_SUCCESS;
}

DWORD WnPostWindowMessageThread::Start()
{
    if (m_watchedEvent == nullptr || m_stopEvent.GetHandle() == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (IsRunning()) {
        return ERROR_ALREADY_EXISTS;
    }
    // A stop signalled while no thread ran must not end the new one.
    m_stopEvent.Reset();
    return m_thread.Start(this);
}

void WnPostWindowMessageThread::Stop()
{
    if (!IsRunning()) {
        return;
    }
    m_stopEvent.Set();
    m_thread.Wait(INFINITE);
}

DWORD WnPostWindowMessageThread::Run()
{
    const HANDLE handles[2] = {m_stopEvent.GetHandle(), m_watchedEvent};
    for (;;) {
        const DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0) {
            return 0;
        }
        if (result == WAIT_OBJECT_0 + 1) {
            // A failed post (the window is gone) is not the thread's concern:
            // the owner stops it when it closes the connection.
            PostMessageW(m_targetWindow, m_message, 0, 0);
        } else if (result == WAIT_FAILED) {
            Sleep(FAILED_WAIT_PAUSE_MS);
        } else {
            return 0;
        }
    }
}
