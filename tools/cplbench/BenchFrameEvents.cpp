#include "BenchFrameEvents.h"

#include "BenchClock.h"
#include "CplCommandLine.h"
#include "KorvelCplClient.h"
#include "KorvelMessage.h"
#include "MainFrame.h"
#include "WnPostWindowMessageThread.h"
#include "resource.h"

#include <windows.h>

#include <commctrl.h>

namespace {

constexpr DWORD EVENT_LIMIT_MS = 10000;
constexpr int RATE_PANE = 2;

// Dispatches this thread's messages for `ms`.
void Pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    } while (GetTickCount64() < end);
}

// Dispatches messages until the frame's driver-event message has been
// handled; false after the limit. `receivedUs` is when it was taken from
// the queue, before its handler ran.
bool PumpUntilDriverEvent(HWND frame, double& receivedUs)
{
    const ULONGLONG end = GetTickCount64() + EVENT_LIMIT_MS;
    while (GetTickCount64() < end) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
            continue;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const bool driverEvent = msg.message == WM_CPL_DRIVER_EVENT && msg.hwnd == frame;
            if (driverEvent) {
                receivedUs = NowUs();
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (driverEvent) {
                return true;
            }
        }
    }
    return false;
}

// The frame with the process objects the panel gives it; its placement goes
// to a key of this run only.
class FrameRig
{
public:
    FrameRig()
        : m_placementKey(L"Software\\VANTREL\\quillo\\cplbench-" +
                         std::to_wstring(GetCurrentProcessId())),
          m_frame(GetModuleHandleW(nullptr), m_client, m_thread, m_commandLine, nullptr,
                  m_placementKey.c_str())
    {
    }
    ~FrameRig()
    {
        m_frame.DestroyWindow();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, m_placementKey.c_str());
    }
    bool Create() { return m_frame.CreateFrame(RECT{100, 100, 650, 520}) != nullptr; }

    std::wstring m_placementKey;
    KorvelCplClient m_client;
    WnPostWindowMessageThread m_thread;
    CplCommandLine m_commandLine{L"quillocpl.exe -notray"};
    MainFrame m_frame;
};

} // namespace

bool BenchFrameEvents::Measure(const Control& control, size_t count, unsigned spacingMs,
                               Samples& samples, std::string& error)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES |
                                                        ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    FrameRig rig;
    if (!rig.Create() || !rig.m_client.IsOpen()) {
        error = "the frame did not come up connected";
        return false;
    }
    rig.m_frame.ShowWindow(SW_SHOW);
    Pump(200);
    const std::string notify = "notify " + std::to_string(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
    samples = {};
    for (size_t i = 0; i < count; ++i) {
        const bool odd = (i % 2) != 0;
        const std::string rate = odd ? "44100" : "48000";
        const wchar_t* shown =
            odd ? L"Current sampling rate: 44.100 kHz" : L"Current sampling rate: 48.000 kHz";
        if (control("rate " + rate).rfind("OK", 0) != 0) {
            error = "the simulator refused the rate " + rate;
            return false;
        }
        Pump(spacingMs);
        const double start = NowUs();
        if (control(notify).rfind("OK", 0) != 0) {
            error = "the simulator refused the notification";
            return false;
        }
        double received = 0;
        if (!PumpUntilDriverEvent(rig.m_frame.m_hWnd, received)) {
            error = "the frame's driver-event message never came";
            return false;
        }
        samples.handledUs.push_back(NowUs() - start);
        samples.receivedUs.push_back(received - start);
        if (rig.m_frame.StatusBar().GetPaneText(RATE_PANE) != shown) {
            error = "the status bar did not show the rate " + rate + " after the event";
            return false;
        }
    }
    return true;
}
