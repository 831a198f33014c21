#include "WnPnPNotificator.h"

#include <dbt.h>

#include <cwchar>

namespace {

// Holds a critical section for the lifetime of a scope.
class Lock
{
public:
    explicit Lock(CRITICAL_SECTION& section) : m_section(section)
    {
        EnterCriticalSection(&m_section);
    }
    ~Lock() { LeaveCriticalSection(&m_section); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

constexpr size_t NAME_CHARS = 80;

// Bounded formatting that always terminates the buffer.
void FormatName(wchar_t (&buffer)[NAME_CHARS], const wchar_t* format)
{
    _snwprintf(buffer, NAME_CHARS - 1, format, static_cast<unsigned>(GetCurrentProcessId()),
               static_cast<unsigned>(GetCurrentThreadId()));
    buffer[NAME_CHARS - 1] = L'\0';
}

} // namespace

WnPnPNotificator::WnPnPNotificator()
{
    InitializeCriticalSection(&m_lock);
}

WnPnPNotificator::~WnPnPNotificator()
{
    Stop(INFINITE);
    FinishAbandonedThread();
    DeleteCriticalSection(&m_lock);
}

DWORD WnPnPNotificator::Start(WnPnPNotificatorCallbackInterface* callback, HINSTANCE module)
{
    if (callback == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    Lock lock(m_lock);
    if (m_started) {
        return ERROR_ALREADY_INITIALIZED;
    }
    // A window thread from a Start that timed out still uses this object's
    // members; it is not replaced underneath itself.
    if (m_thread.GetHandle() != nullptr) {
        return ERROR_ALREADY_EXISTS;
    }

    m_module = module != nullptr ? module : GetModuleHandleW(nullptr);
    m_callback = callback;
    m_windowResult = 0;
    DWORD status = m_ready.Create(TRUE, FALSE);
    if (status != 0) {
        return status;
    }
    status = m_thread.Start(this, 0, 0);
    if (status != 0) {
        return status;
    }

    if (WaitForSingleObject(m_ready.GetHandle(), START_TIMEOUT_MS) != WAIT_OBJECT_0) {
        return ERROR_TIMEOUT;
    }
    if (m_windowResult != 0) {
        m_thread.Wait(INFINITE);
        return m_windowResult;
    }
    m_started = true;
    return 0;
}

DWORD WnPnPNotificator::Stop(DWORD timeoutMs)
{
    Lock lock(m_lock);
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
        }
    }
    m_registrations.UnregisterAll();
    return result;
}

DWORD WnPnPNotificator::RegisterInterface(const GUID& classGuid)
{
    Lock lock(m_lock);
    HWND window = m_window.load();
    if (!m_started || window == nullptr) {
        return ERROR_INVALID_DATA;
    }
    return m_registrations.RegisterFor(window, classGuid, DEVICE_NOTIFY_WINDOW_HANDLE);
}

bool WnPnPNotificator::IsStarted() const
{
    Lock lock(m_lock);
    return m_started;
}

DWORD WnPnPNotificator::Run()
{
    wchar_t className[NAME_CHARS];
    wchar_t windowName[NAME_CHARS];
    FormatName(className, L"PnPNotificatorWndCls_%u_%u");
    FormatName(windowName, L"PnPNotificator_HiddenWindow_%u_%u");

    m_windowResult = CreateHiddenWindow(className, windowName);
    bool created = m_windowResult == 0;
    m_ready.Set();
    if (!created) {
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

    m_window.store(nullptr);
    if (!UnregisterClassW(className, m_module)) {
        GetLastError(); // the class goes with the process anyway
    }
    return 0;
}

DWORD WnPnPNotificator::CreateHiddenWindow(const wchar_t* className, const wchar_t* windowName)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = StaticWindowProc;
    windowClass.hInstance = m_module;
    windowClass.lpszClassName = className;
    if (RegisterClassExW(&windowClass) == 0) {
        return LastErrorOr(ERROR_CLASS_DOES_NOT_EXIST);
    }

    HWND window =
        CreateWindowExW(0, className, windowName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_module, nullptr);
    if (window == nullptr) {
        DWORD error = LastErrorOr(ERROR_INVALID_WINDOW_HANDLE);
        UnregisterClassW(className, m_module);
        return error;
    }
    m_window.store(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return 0;
}

void WnPnPNotificator::FinishAbandonedThread()
{
    if (m_thread.GetHandle() == nullptr) {
        return;
    }
    // The thread still reports its window; once it has, close that window
    // so that its loop ends before this object goes away.
    WaitForSingleObject(m_ready.GetHandle(), INFINITE);
    HWND window = m_window.load();
    if (window != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    m_thread.Wait(INFINITE);
}

LRESULT CALLBACK WnPnPNotificator::StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam)
{
    auto* self = reinterpret_cast<WnPnPNotificator*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
        return self->WindowProc(window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
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
