#include "BenchMeterPaint.h"

#include "BenchClock.h"
#include "WtlLevelMeter.h"

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <vector>

namespace {

constexpr UINT_PTR TICK_TIMER = 1;
constexpr UINT TICK_MS = 20;
constexpr int METER_WIDTH = 7;
constexpr int METER_HEIGHT = 150;
constexpr int MAXIMUM = 6000;
constexpr const wchar_t* HOST_CLASS = L"QuilloBenchMeterHost";
constexpr const wchar_t* BARE_CLASS = L"QuilloBenchBareMeter";

// A level that wanders as music does: a different position every tick.
int NextPosition(unsigned& seed)
{
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % MAXIMUM);
}

// The bare control: its position in the window's user data, painted as one
// fill of the background and one of the bar, straight to the screen.
LRESULT CALLBACK BareProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        const auto position = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        const int top = client.bottom - client.bottom * position / MAXIMUM;
        SetBkColor(dc, WtlLevelMeter::BackColor);
        RECT back{0, 0, client.right, top};
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &back, nullptr, 0, nullptr);
        SetBkColor(dc, WtlLevelMeter::LowColor);
        RECT bar{0, top, client.right, client.bottom};
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &bar, nullptr, 0, nullptr);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = HOST_CLASS;
    const bool host = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    wc.lpfnWndProc = BareProc;
    wc.hbrBackground = nullptr;
    wc.lpszClassName = BARE_CLASS;
    const bool bare = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return host && bare;
}

// What one run counted: the WM_PAINT messages dispatched to the children
// of one window, and the ticks taken (a thread that cannot keep up with
// its paints takes fewer than fifty a second).
struct PaintCount
{
    HWND host = nullptr;
    double paints = 0;
    double ticks = 0;
};

// Runs the window's ticks for `seconds`: `tick` sets new positions; the
// CPU time of this thread meanwhile.
template <class Tick>
double Run(HWND host, double seconds, Tick tick, PaintCount& count)
{
    const double startCpu = ThreadCpuMs();
    SetTimer(host, TICK_TIMER, TICK_MS, nullptr);
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        // Paints come whenever nothing else waits: the time is checked
        // between them, or a thread that cannot keep up would never stop.
        while (GetTickCount64() < end && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.hwnd == host) {
                ++count.ticks;
                tick();
                continue;
            }
            if (msg.message == WM_PAINT && GetParent(msg.hwnd) == count.host) {
                ++count.paints;
            }
            DispatchMessageW(&msg);
        }
    }
    KillTimer(host, TICK_TIMER);
    return ThreadCpuMs() - startCpu;
}

HWND CreateHost(HINSTANCE instance, size_t meters)
{
    const int width = static_cast<int>(meters) * (METER_WIDTH + 3) + 20;
    HWND host = CreateWindowExW(0, HOST_CLASS, L"meters", WS_POPUP | WS_CAPTION, 20, 20, width,
                                METER_HEIGHT + 60, nullptr, nullptr, instance, nullptr);
    if (host != nullptr) {
        ShowWindow(host, SW_SHOWNOACTIVATE);
    }
    return host;
}

HWND CreateChild(HWND host, const wchar_t* className, DWORD style, size_t i)
{
    return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style,
                           10 + static_cast<int>(i) * (METER_WIDTH + 3), 10, METER_WIDTH,
                           METER_HEIGHT, host, nullptr, GetModuleHandleW(nullptr), nullptr);
}

double MeasureMeters(HINSTANCE instance, size_t meters, double seconds, PaintCount& count)
{
    HWND host = CreateHost(instance, meters);
    std::vector<std::unique_ptr<WtlLevelMeter>> list;
    for (size_t i = 0; host != nullptr && i < meters; ++i) {
        list.push_back(std::make_unique<WtlLevelMeter>());
        list.back()->Attach(CreateChild(host, PROGRESS_CLASSW, PBS_VERTICAL | PBS_SMOOTH, i),
                            MAXIMUM);
    }
    unsigned seed = 1;
    count = PaintCount{host, 0, 0};
    const double cpu = Run(
        host, seconds,
        [&] {
            for (auto& meter : list) {
                meter->SetPosition(NextPosition(seed));
            }
        },
        count);
    list.clear();
    DestroyWindow(host);
    return cpu;
}

double MeasureBare(HINSTANCE instance, size_t meters, double seconds, PaintCount& count)
{
    HWND host = CreateHost(instance, meters);
    std::vector<HWND> list;
    for (size_t i = 0; host != nullptr && i < meters; ++i) {
        list.push_back(CreateChild(host, BARE_CLASS, 0, i));
    }
    unsigned seed = 1;
    count = PaintCount{host, 0, 0};
    const double cpu = Run(
        host, seconds,
        [&] {
            for (HWND control : list) {
                SetWindowLongPtrW(control, GWLP_USERDATA, NextPosition(seed));
                InvalidateRect(control, nullptr, FALSE);
            }
        },
        count);
    DestroyWindow(host);
    return cpu;
}

} // namespace

bool BenchMeterPaint::Measure(size_t meters, double seconds, Figures& figures, std::string& error)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance)) {
        error = "no window class";
        return false;
    }
    figures.seconds = seconds;
    figures.meters = meters;
    const auto gdiBefore = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    PaintCount count;
    figures.meterCpuMs = MeasureMeters(instance, meters, seconds, count);
    figures.paints = count.paints;
    figures.ticks = count.ticks;
    figures.gdiGrowth =
        static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) - gdiBefore;
    figures.bareCpuMs = MeasureBare(instance, meters, seconds, count);
    figures.barePaints = count.paints;
    figures.bareTicks = count.ticks;
    return true;
}
