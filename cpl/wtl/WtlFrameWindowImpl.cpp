#include "WtlFrameWindowImpl.h"

namespace {

// Lets a bar size itself for the parent's width (rebar, status bar and
// toolbar all do on WM_SIZE) and returns its height, 0 when hidden.
int BarHeight(HWND bar)
{
    if (bar == nullptr || !::IsWindowVisible(bar))
        return 0;
    ::SendMessageW(bar, WM_SIZE, 0, 0);
    RECT rect{};
    ::GetWindowRect(bar, &rect);
    return rect.bottom - rect.top;
}

} // namespace

bool WtlFrameWindowImpl::LoadAccelerators(HINSTANCE instance, int id)
{
    m_accelerators = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(id));
    return m_accelerators != nullptr;
}

bool WtlFrameWindowImpl::TranslateAccelerator(MSG* msg)
{
    return m_hWnd != nullptr && m_accelerators != nullptr &&
           ::TranslateAcceleratorW(m_hWnd, m_accelerators, msg) != 0;
}

void WtlFrameWindowImpl::UpdateLayout()
{
    RECT client{};
    GetClientRect(&client);
    client.top += BarHeight(m_hWndToolBar);
    client.bottom -= BarHeight(m_hWndStatusBar);
    if (client.bottom < client.top)
        client.bottom = client.top;
    if (m_hWndClient != nullptr)
        ::SetWindowPos(m_hWndClient, nullptr, client.left, client.top, client.right - client.left,
                       client.bottom - client.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool WtlFrameWindowImpl::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam,
                                              LPARAM /*lParam*/, LRESULT& result)
{
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            UpdateLayout();
        result = 0;
        return true;
    case WM_SETFOCUS:
        if (m_hWndClient != nullptr && ::IsWindow(m_hWndClient))
            ::SetFocus(m_hWndClient);
        result = 0;
        return true;
    default:
        return false;
    }
}
