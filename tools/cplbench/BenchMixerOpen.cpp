#include "BenchMixerOpen.h"

#include "BenchClock.h"
#include "FormMixer.h"

#include <windows.h>

#include <memory>

namespace {

constexpr const wchar_t* BARE_CLASS = L"QuilloBenchBareMixer";

// Handles every message waiting for this thread (paints included).
void Drain()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

size_t ChildWindows(HWND window)
{
    size_t count = 0;
    EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&count));
    return count;
}

bool RegisterBareClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = BARE_CLASS;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

SIZE WindowSize(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// A hidden pop-up of `size` with `children` static controls in a grid, then
// shown: the milliseconds until it is painted. The window stays for the caller.
double OpenBare(HINSTANCE instance, HWND owner, size_t children, SIZE size, HWND& window)
{
    const double start = NowUs();
    window = CreateWindowExW(0, BARE_CLASS, L"bare", WS_POPUP | WS_CAPTION | WS_SYSMENU, 40, 40,
                             size.cx, size.cy, owner, nullptr, instance, nullptr);
    for (size_t i = 0; window != nullptr && i < children; ++i) {
        const int x = static_cast<int>(i % 40) * 22;
        const int y = static_cast<int>(i / 40) * 20;
        CreateWindowExW(0, L"Static", L"0.00", WS_CHILD | WS_VISIBLE, x, y, 20, 18, window,
                        nullptr, instance, nullptr);
    }
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    Drain();
    return (NowUs() - start) / 1000.0;
}

double OpenMixer(FormMixer& mixer)
{
    const double start = NowUs();
    mixer.Show();
    UpdateWindow(mixer);
    Drain();
    return (NowUs() - start) / 1000.0;
}

} // namespace

bool BenchMixerOpen::Measure(KorvelCplClient& client, size_t device, size_t runs,
                             Figures& figures, std::string& error)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (device >= client.DeviceCount() || !RegisterBareClass(instance)) {
        error = "no such device, or no window class";
        return false;
    }
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                 nullptr, instance, nullptr);
    const KorvelDeviceKey key = client.DeviceAt(device)->Info().key;
    FormMixer inputs(client, key.word0, key.word1, true);
    FormMixer outputs(client, key.word0, key.word1, false);
    if (inputs.CreateMixer(instance, owner) == nullptr ||
        outputs.CreateMixer(instance, owner) == nullptr) {
        error = "the mixer windows could not be created";
        DestroyWindow(owner);
        return false;
    }
    for (size_t run = 0; run < runs; ++run) {
        figures.firstMs.push_back(OpenMixer(inputs));
        figures.secondMs.push_back(OpenMixer(outputs));
        figures.firstWindows = ChildWindows(inputs);
        figures.secondWindows = ChildWindows(outputs);
        figures.columns = static_cast<unsigned>(outputs.ColumnCount());
        figures.rows = static_cast<unsigned>(outputs.RowCount());
        figures.firstSize = WindowSize(inputs);
        figures.secondSize = WindowSize(outputs);
        inputs.Close();
        outputs.Close();
        Drain();

        HWND first = nullptr;
        HWND second = nullptr;
        figures.bareFirstMs.push_back(
            OpenBare(instance, owner, figures.firstWindows, figures.firstSize, first));
        figures.bareSecondMs.push_back(
            OpenBare(instance, owner, figures.secondWindows, figures.secondSize, second));
        DestroyWindow(second);
        DestroyWindow(first);
        Drain();
    }
    DestroyWindow(owner);
    return true;
}
