#include "WtlScrollPane.h"

HWND WtlScrollPane::Create(HINSTANCE instance, HWND parent, RECT rect)
{
    m_offset = POINT{0, 0};
    // A control parent: Tab and the dialog keys reach the controls inside it.
    return WtlWindowImpl::Create(instance, parent, rect, L"",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                 WS_EX_CONTROLPARENT);
}

void WtlScrollPane::Place(HWND child, int x, int y) const
{
    ::SetWindowPos(child, nullptr, x - m_offset.x, y - m_offset.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WtlScrollPane::ScrollTo(int x, int y)
{
    const int dx = m_offset.x - x;
    const int dy = m_offset.y - y;
    if (m_hWnd == nullptr || (dx == 0 && dy == 0)) {
        return;
    }
    m_offset = POINT{x, y};
    ::ScrollWindowEx(m_hWnd, dx, dy, nullptr, nullptr, nullptr, nullptr,
                     SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

void WtlScrollPane::PrepareWindowClass(WNDCLASSEXW& wc) const
{
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
}

bool WtlScrollPane::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam,
                                         LPARAM lParam, LRESULT& result)
{
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        result = ::SendMessageW(::GetParent(m_hWnd), message, wParam, lParam);
        return result != 0; // the parent has no colour for it: the default one

    }
    return false;
}
