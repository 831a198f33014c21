#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "DeviceNotificationList.h"
#include "WnPnPNotificatorCallbackInterface.h"
#include "WnThread.h"

// Gives a program without a window of its own (the service in console mode)
// a hidden window on a thread of its own that receives WM_DEVICECHANGE and
// forwards device-interface arrivals and removals to a callback.
// Start, Stop and RegisterInterface may be called from any thread; each holds
// the notificator's lock for its whole duration, waits included.
//
// Each Start runs a window thread with state of its own (WindowThread),
// which the thread keeps for as long as it runs. A Start that times out
// abandons its thread: the notificator stays not started and the next Start
// starts afresh, while the abandoned thread, should it ever get its window,
// destroys it again and ends without touching the notificator. So neither a
// later Start nor the destructor waits for a thread that may never report.
class WnPnPNotificator
{
public:
    // How long Start waits for the window thread to report its window.
    static constexpr DWORD START_TIMEOUT_MS = 10000;

    WnPnPNotificator();
    virtual ~WnPnPNotificator();

    WnPnPNotificator(const WnPnPNotificator&) = delete;
    WnPnPNotificator& operator=(const WnPnPNotificator&) = delete;

    // Starts the window thread and waits until its window exists.
    // 87 for a null callback, 1247 (ERROR_ALREADY_INITIALIZED) when started,
    // 1460 (ERROR_TIMEOUT) when the window did not come in time (the
    // notificator stays not started), the window-creation error, or 0. A
    // null module means the running program's module. The callback is not
    // owned.
    DWORD Start(WnPnPNotificatorCallbackInterface* callback, HINSTANCE module = nullptr);

    // Closes the window and waits for its thread at most `timeoutMs`; every
    // registration is withdrawn in any case. 0 when not started or when the
    // thread ended, else the wait's result (the notificator stays started).
    DWORD Stop(DWORD timeoutMs = INFINITE);

    // Registers the hidden window for arrivals and removals of interfaces of
    // `classGuid`. 13 (ERROR_INVALID_DATA) unless started with a window.
    DWORD RegisterInterface(const GUID& classGuid);

    bool IsStarted() const;
    // The hidden window (null while there is none).
    HWND GetWindow() const { return m_window.load(); }

    virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // For tests: how long Start waits, and an event every window thread
    // started from now on waits for before it creates its window (a thread
    // that stalls). The event must outlive those threads.
    void SetStartTimeout(DWORD timeoutMs);
    void HoldWindowThreads(HANDLE release);

private:
    class WindowThread;

    // Takes the reported window of a started thread, or abandons a thread
    // that has not reported; false for an abandoned one.
    bool TakeReport(WindowThread& thread);

    mutable CRITICAL_SECTION m_lock;
    bool m_started = false;
    HINSTANCE m_module = nullptr;
    std::atomic<HWND> m_window{nullptr};
    WnPnPNotificatorCallbackInterface* m_callback = nullptr;
    WnThread m_thread;
    std::shared_ptr<WindowThread> m_windowThread; // the started thread's state
    DWORD m_startTimeoutMs = START_TIMEOUT_MS;
    HANDLE m_hold = nullptr;
    DeviceNotificationList m_registrations;
};
