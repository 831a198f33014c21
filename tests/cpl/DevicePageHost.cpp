#include "DevicePageHost.h"

#include "KorvelIoctl.h"

#include <commctrl.h>

namespace cpl_test {

DevicePageHost::DevicePageHost()
{
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    ::InitCommonControlsEx(&init);
    m_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 700, 500, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

DevicePageHost::~DevicePageHost()
{
    ::DestroyWindow(m_frame);
    m_client.CloseAll();
}

DWORD DevicePageHost::Connect()
{
    DWORD status = m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME);
    if (status != 0) {
        return status;
    }
    bool changed = false;
    return m_client.RefreshDevices(changed);
}

void DevicePageHost::RefreshDevices()
{
    bool changed = false;
    (void)m_client.RefreshDevices(changed);
}

void DevicePageHost::Click(HWND page, int id)
{
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(page, id)));
}

void DevicePageHost::ToggleAndClick(HWND page, int id)
{
    const bool checked = IsChecked(page, id);
    ::CheckDlgButton(page, id, checked ? BST_UNCHECKED : BST_CHECKED);
    Click(page, id);
}

bool DevicePageHost::IsChecked(HWND page, int id)
{
    return ::IsDlgButtonChecked(page, id) == BST_CHECKED;
}

std::wstring DevicePageHost::Text(HWND page, int id)
{
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(page, id, text, 1024);
    return text;
}

std::wstring DevicePageHost::ListText(HWND list, int item, int column)
{
    wchar_t text[256] = {};
    ListView_GetItemText(list, item, column, text, 256);
    return text;
}

void DevicePageHost::SelectItem(HWND list, int item)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (item >= 0) {
        ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

bool DevicePageHost::PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) {
            return false;
        }
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

} // namespace cpl_test
