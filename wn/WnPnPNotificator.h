#pragma once

#include <windows.h>

#include <atomic>

#include "DeviceNotificationList.h"
#include "WnEvent.h"
#include "WnPnPNotificatorCallbackInterface.h"
#include "WnThread.h"
#include "WnThreadCallbackInterface.h"

// Gives a program without a window of its own (the service in console mode)
// a hidden window on a thread of its own that receives WM_DEVICECHANGE and
// forwards device-interface arrivals and removals to a callback.
// Start, Stop and RegisterInterface may be called from any thread; each holds
// the notificator's lock for its whole duration, waits included.
class WnPnPNotificator : public WnThreadCallbackInterface
{
public:
    // How long Start waits for the window thread to report its window.
    static constexpr DWORD START_TIMEOUT_MS = 10000;

    WnPnPNotificator();
    ~WnPnPNotificator() override;

    // Starts the window thread and waits until its window exists.
    // 87 for a null callback, 1247 (ERROR_ALREADY_INITIALIZED) when started,
    // 1460 (ERROR_TIMEOUT) when the window did not come within
    // START_TIMEOUT_MS, the window-creation error, or 0. A null module means
    // the running program's module. The callback is not owned.
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

    // Window thread body: creates the hidden window and runs its message loop.
    DWORD Run() override;

    virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    // Creates the window class and window; 0 or the error.
    DWORD CreateHiddenWindow(const wchar_t* className, const wchar_t* windowName);
    // Ends a window thread left running by a Start that timed out.
    void FinishAbandonedThread();

    mutable CRITICAL_SECTION m_lock;
    bool m_started = false;
    HINSTANCE m_module = nullptr;
    std::atomic<HWND> m_window{nullptr};
    WnPnPNotificatorCallbackInterface* m_callback = nullptr;
    WnThread m_thread;
    WnEvent m_ready;
    DWORD m_windowResult = 0;
    DeviceNotificationList m_registrations;
};
