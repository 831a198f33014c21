#include "WnPnPNotificator.h"

#include "WnCriticalSectionLock.h"
#include "WnEvent.h"
#include "WnLastError.h"
#include "WnThreadCallbackInterface.h"

#include <dbt.h>

#include <cwchar>
#include <mutex>

namespace {

constexpr size_t NAME_CHARS = 80;

// Bounded formatting that always terminates the buffer.
void FormatName(wchar_t (&buffer)[NAME_CHARS], const wchar_t* format)
{
    _snwprintf(buffer, NAME_CHARS - 1, format, static_cast<unsigned>(GetCurrentProcessId()),
               static_cast<unsigned>(GetCurrentThreadId()));
    buffer[NAME_CHARS - 1] = L'\0';
}

} // namespace

// The state of one window thread. The thread holds it (through `self`) for
// as long as it runs; the notificator holds it while the thread is its
// started one. `lock` makes the thread's report and an abandoning Start
// exclusive: either the report comes first and Start takes the window, or
// Start abandons the thread first and the thread never touches the
// notificator again.
class WnPnPNotificator::WindowThread : public WnThreadCallbackInterface
{
public:
    WindowThread(WnPnPNotificator& owner, HINSTANCE module, HANDLE hold)
        : m_owner(owner), m_module(module), m_hold(hold)
    {
    }

    DWORD Run() override;

    std::shared_ptr<WindowThread> self; // handed to the running thread
    WnEvent ready;                      // manual-reset, set by the report
    std::mutex lock;
    bool reported = false;
    bool abandoned = false;
    DWORD result = 0; // window-creation result, 0 = window created
    HWND window = nullptr;

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    DWORD CreateHiddenWindow(const wchar_t* className, const wchar_t* windowName, HWND& created);
    // Publishes the result; false when the thread was abandoned meanwhile.
    bool Report(DWORD created, HWND createdWindow);

    WnPnPNotificator& m_owner;
    HINSTANCE m_module;
    HANDLE m_hold;
};

DWORD WnPnPNotificator::WindowThread::Run()
{
    std::shared_ptr<WindowThread> keep = std::move(self);
    if (m_hold != nullptr) {
        WaitForSingleObject(m_hold, INFINITE);
    }
    wchar_t className[NAME_CHARS];
    wchar_t windowName[NAME_CHARS];
    FormatName(className, L"PnPNotificatorWndCls_%u_%u");
    FormatName(windowName, L"PnPNotificator_HiddenWindow_%u_%u");

    HWND created = nullptr;
    DWORD status = CreateHiddenWindow(className, windowName, created);
    if (!Report(status, created)) {
        if (created != nullptr) {
            DestroyWindow(created); // nobody waits for it any more
            UnregisterClassW(className, m_module);
        }
        return 0;
    }
    if (status != 0) {
        return 0;
    }

    MSG message;
    for (;;) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (!UnregisterClassW(className, m_module)) {
        GetLastError(); // the class goes with the process anyway
    }
    return 0;
}

bool WnPnPNotificator::WindowThread::Report(DWORD created, HWND createdWindow)
{
    std::lock_guard guard(lock);
    if (abandoned) {
        return false;
    }
    result = created;
    window = createdWindow;
    if (createdWindow != nullptr) {
        SetWindowLongPtrW(createdWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    reported = true;
    ready.Set();
    return true;
}

DWORD WnPnPNotificator::WindowThread::CreateHiddenWindow(const wchar_t* className,
                                                         const wchar_t* windowName, HWND& created)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = m_module;
    windowClass.lpszClassName = className;
    if (RegisterClassExW(&windowClass) == 0) {
        return LastErrorOr(ERROR_CLASS_DOES_NOT_EXIST);
    }
    created =
        CreateWindowExW(0, className, windowName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_module, nullptr);
    if (created == nullptr) {
        DWORD error = LastErrorOr(ERROR_INVALID_WINDOW_HANDLE);
        UnregisterClassW(className, m_module);
        return error;
    }
    return 0;
}

// The user data is set only once the thread has reported to a Start that
// waits, so an abandoned thread's window never reaches the notificator.
LRESULT CALLBACK WnPnPNotificator::WindowThread::WindowProcedure(HWND window, UINT message,
                                                                 WPARAM wParam, LPARAM lParam)
{
    auto* thread = reinterpret_cast<WindowThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (thread != nullptr) {
        return thread->m_owner.WindowProc(window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

WnPnPNotificator::WnPnPNotificator()
{
    InitializeCriticalSection(&m_lock);
}

WnPnPNotificator::~WnPnPNotificator()
{
    // Waits only for a started thread, whose window takes WM_CLOSE; an
    // abandoned one ends by itself.
    Stop(INFINITE);
    DeleteCriticalSection(&m_lock);
}

void WnPnPNotificator::SetStartTimeout(DWORD timeoutMs)
{
    WnCriticalSectionLock lock(m_lock);
    m_startTimeoutMs = timeoutMs;
}

void WnPnPNotificator::HoldWindowThreads(HANDLE release)
{
    WnCriticalSectionLock lock(m_lock);
    m_hold = release;
}

DWORD WnPnPNotificator::Start(WnPnPNotificatorCallbackInterface* callback, HINSTANCE module)
{
    if (callback == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    WnCriticalSectionLock lock(m_lock);
    if (m_started) {
        return ERROR_ALREADY_INITIALIZED;
    }
    m_module = module != nullptr ? module : GetModuleHandleW(nullptr);
    m_callback = callback;
    auto thread = std::make_shared<WindowThread>(*this, m_module, m_hold);
    DWORD status = thread->ready.Create(TRUE, FALSE);
    if (status == 0) {
        thread->self = thread;
        status = m_thread.Start(thread.get(), 0, 0);
        if (status != 0) {
            thread->self.reset();
        }
    }
    if (status == 0) {
        WaitForSingleObject(thread->ready.GetHandle(), m_startTimeoutMs);
        status = TakeReport(*thread) ? thread->result : ERROR_TIMEOUT;
        if (status != 0 && status != ERROR_TIMEOUT) {
            m_thread.Wait(INFINITE); // it ends right after a failed window
        }
    }
    if (status != 0) {
        m_callback = nullptr;
        m_module = nullptr;
        return status;
    }
    m_windowThread = thread;
    m_window.store(thread->window);
    m_started = true;
    return 0;
}

bool WnPnPNotificator::TakeReport(WindowThread& thread)
{
    std::lock_guard guard(thread.lock);
    if (thread.reported) {
        return true;
    }
    thread.abandoned = true;
    // The thread runs on with its own state; its handle is not needed to
    // let it end, and a later Start gets a fresh one.
    m_thread.Close();
    return false;
}

DWORD WnPnPNotificator::Stop(DWORD timeoutMs)
{
    WnCriticalSectionLock lock(m_lock);
    DWORD result = 0;
    if (m_started) {
        HWND window = m_window.load();
        if (window != nullptr) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        result = m_thread.Wait(timeoutMs);
        if (result == 0) {
            m_started = false;
            m_module = nullptr;
            m_callback = nullptr;
            m_window.store(nullptr);
            m_windowThread.reset();
        }
    }
    m_registrations.UnregisterAll();
    return result;
}

DWORD WnPnPNotificator::RegisterInterface(const GUID& classGuid)
{
    WnCriticalSectionLock lock(m_lock);
    HWND window = m_window.load();
    if (!m_started || window == nullptr) {
        return ERROR_INVALID_DATA;
    }
    return m_registrations.RegisterFor(window, classGuid, DEVICE_NOTIFY_WINDOW_HANDLE);
}

bool WnPnPNotificator::IsStarted() const
{
    WnCriticalSectionLock lock(m_lock);
    return m_started;
}

LRESULT WnPnPNotificator::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_DEVICECHANGE: {
        if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE) {
            return 0;
        }
        auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(lParam);
        if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
            m_callback != nullptr) {
            m_callback->OnDeviceChange(static_cast<DWORD>(wParam), header);
        }
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
