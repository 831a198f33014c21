#include "WtlTestHost.h"

#include <commctrl.h>

namespace cpl_test {

HINSTANCE TestInstance()
{
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES |
                                                            ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)initialised;
    return ::GetModuleHandleW(nullptr);
}

bool WtlTestHost::CreateHost(int cx, int cy)
{
    RECT rect{0, 0, cx, cy};
    ::AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    ::OffsetRect(&rect, -rect.left, -rect.top);
    return Create(TestInstance(), nullptr, rect, L"Test host",
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0) != nullptr;
}

bool WtlTestHost::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT& result)
{
    switch (message) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        notifications.push_back({header->idFrom, header->code});
        result = notifyAnswer;
        return true;
    }
    case WM_COMMAND:
        commands.push_back(wParam);
        result = 0;
        return true;
    default:
        return false;
    }
}

std::wstring TreeItemText(HWND tree, HTREEITEM item)
{
    wchar_t text[64]{};
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_HANDLE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 64;
    TreeView_GetItem(tree, &data);
    return text;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) {
            return true;
        }
        if (GetTickCount64() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

} // namespace cpl_test
