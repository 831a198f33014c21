#include "BenchStartup.h"

#include "BenchClock.h"
#include "HostChildProcess.h"
#include "PanelWindow.h"

#include <commctrl.h>

namespace {

constexpr DWORD READY_LIMIT_MS = 30000; // a start under a loaded Wine can take seconds
constexpr DWORD END_LIMIT_MS = 10000;
constexpr UINT ASK_LIMIT_MS = 1000;     // one question to the started program
constexpr size_t FIXED_ITEMS = 7;       // the root items besides the device children
constexpr size_t DEVICES_ROOT_INDEX = 2; // "Sample Rate", "Buffer Settings", "Devices"

// A tree message that carries no pointer, answered by the other process;
// 0 when it does not answer in time.
LRESULT Ask(HWND tree, UINT message, WPARAM wParam, LPARAM lParam = 0)
{
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(tree, message, wParam, lParam, SMTO_ABORTIFHUNG, ASK_LIMIT_MS,
                            &answer) == 0) {
        return 0;
    }
    return static_cast<LRESULT>(answer);
}

HWND FindWindowOf(const wchar_t* windowClass, DWORD processId)
{
    HWND window = FindWindowW(windowClass, nullptr);
    DWORD owner = 0;
    if (window != nullptr) {
        GetWindowThreadProcessId(window, &owner);
    }
    return owner == processId ? window : nullptr;
}

} // namespace

bool BenchStartup::PanelTreeFilled(HWND frame, size_t devices)
{
    HWND tree = PanelWindow::FindChild(frame, PanelWindow::PAGE_TREE_ID);
    if (tree == nullptr ||
        static_cast<size_t>(Ask(tree, TVM_GETCOUNT, 0)) != FIXED_ITEMS + devices) {
        return false;
    }
    LRESULT item = Ask(tree, TVM_GETNEXTITEM, TVGN_ROOT);
    for (size_t i = 0; i < DEVICES_ROOT_INDEX && item != 0; ++i) {
        item = Ask(tree, TVM_GETNEXTITEM, TVGN_NEXT, item);
    }
    size_t children = 0;
    for (item = item != 0 ? Ask(tree, TVM_GETNEXTITEM, TVGN_CHILD, item) : 0; item != 0;
         item = Ask(tree, TVM_GETNEXTITEM, TVGN_NEXT, item)) {
        ++children;
    }
    return children == devices;
}

bool BenchStartup::Measure(const std::wstring& commandLine, const wchar_t* windowClass,
                           const Ready& ready, double& startMs, std::string& error)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring log = std::wstring(temp) + L"cplbench-" +
                             std::to_wstring(GetCurrentProcessId()) + L"-start.log";
    HostChildProcess child;
    const double start = NowUs();
    if (child.Start(commandLine, log) != 0) {
        error = "cannot start the program";
        return false;
    }
    HWND window = nullptr;
    const ULONGLONG end = GetTickCount64() + READY_LIMIT_MS;
    for (;;) {
        window = FindWindowOf(windowClass, child.ProcessId());
        if (window != nullptr && IsWindowVisible(window) && ready(window)) {
            break;
        }
        if (!child.Running() || GetTickCount64() > end) {
            error = child.Running() ? "the window was not ready in time" : "the program ended";
            return false;
        }
        Sleep(1);
    }
    startMs = (NowUs() - start) / 1000.0;
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (child.Wait(END_LIMIT_MS) == 0xFFFFFFFF) {
        error = "the program did not end after WM_CLOSE";
        return false;
    }
    return true;
}
