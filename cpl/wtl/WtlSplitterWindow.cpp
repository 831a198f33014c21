#include "WtlSplitterWindow.h"

#include "WtlDpi.h"

#include <windowsx.h>

#include <algorithm>

namespace {

bool CanTakeFocus(HWND window)
{
    return window != nullptr && ::IsWindowVisible(window) && ::IsWindowEnabled(window) &&
           (::GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP) != 0;
}

// The first or the last tab stop of `pane` (nested dialogs included), null
// when it has none.
HWND EdgeTabStop(HWND pane, bool last)
{
    if (pane == nullptr || !::IsWindowVisible(pane))
        return nullptr;
    HWND first = ::GetNextDlgTabItem(pane, nullptr, FALSE);
    if (!CanTakeFocus(first))
        return nullptr;
    HWND edge = last ? ::GetNextDlgTabItem(pane, first, TRUE) : first;
    return CanTakeFocus(edge) ? edge : first;
}

bool IsSelfOrChild(HWND parent, HWND window)
{
    return window == parent || ::IsChild(parent, window);
}

} // namespace

HWND WtlSplitterWindow::Create(HINSTANCE instance, HWND parent)
{
    m_barWidth = BarWidthFor(WtlDpi::ForWindow(parent));
    RECT rect{};
    ::GetClientRect(parent, &rect);
    return WtlWindowImpl::Create(instance, parent, rect, nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0);
}

int WtlSplitterWindow::BarWidthFor(UINT dpi)
{
    return std::max(::GetSystemMetrics(SM_CXSIZEFRAME), WtlDpi::Scale(4, dpi));
}

void WtlSplitterWindow::ScaleForDpi(UINT oldDpi, UINT newDpi)
{
    if (oldDpi == 0 || newDpi == 0)
        return;
    m_barWidth = BarWidthFor(newDpi);
    SetSplitterPos(::MulDiv(m_position, static_cast<int>(newDpi), static_cast<int>(oldDpi)));
}

void WtlSplitterWindow::PrepareWindowClass(WNDCLASSEXW& wc) const
{
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
    wc.hCursor = nullptr; // set per position in WM_SETCURSOR
}

bool WtlSplitterWindow::SetSplitterPane(int pane, HWND window)
{
    if (pane != LeftPane && pane != RightPane)
        return false;
    m_panes[pane] = window;
    UpdateLayout();
    return true;
}

HWND WtlSplitterWindow::GetSplitterPane(int pane) const
{
    return pane == LeftPane || pane == RightPane ? m_panes[pane] : nullptr;
}

int WtlSplitterWindow::PaneHolding(HWND window) const
{
    for (int pane = LeftPane; pane <= RightPane; ++pane) {
        if (m_panes[pane] != nullptr && IsSelfOrChild(m_panes[pane], window))
            return pane;
    }
    return -1;
}

bool WtlSplitterWindow::PreTranslatePaneTab(const MSG* msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam != VK_TAB || ::GetKeyState(VK_CONTROL) < 0)
        return false;
    const int pane = PaneHolding(msg->hwnd);
    if (pane < 0)
        return false;
    const bool backward = ::GetKeyState(VK_SHIFT) < 0;
    HWND edge = EdgeTabStop(m_panes[pane], !backward);
    if (edge != nullptr && !IsSelfOrChild(edge, msg->hwnd))
        return false; // inside the pane: its dialog moves the focus
    HWND other = m_panes[1 - pane];
    HWND target = EdgeTabStop(other, backward);
    if (target == nullptr)
        return false;
    // As the dialog would: the default button and an edit's selection follow.
    ::SendMessageW(other, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
    if (::GetFocus() != target)
        ::SetFocus(target); // a pane that is no dialog
    return true;
}

int WtlSplitterWindow::ClampPosition(int position) const
{
    RECT client{};
    if (m_hWnd != nullptr && GetClientRect(&client) && client.right > m_barWidth &&
        position > client.right - m_barWidth)
        position = client.right - m_barWidth;
    return position < 0 ? 0 : position;
}

void WtlSplitterWindow::SetSplitterPos(int position)
{
    m_position = ClampPosition(position);
    UpdateLayout();
}

void WtlSplitterWindow::UpdateLayout()
{
    if (m_hWnd == nullptr)
        return;
    RECT client{};
    GetClientRect(&client);
    const int position = ClampPosition(m_position);
    const RECT rects[2] = {{0, 0, position, client.bottom},
                           {position + m_barWidth, 0, client.right, client.bottom}};
    for (int pane = LeftPane; pane <= RightPane; ++pane) {
        if (m_panes[pane] == nullptr)
            continue;
        const RECT& r = rects[pane];
        const int width = r.right > r.left ? r.right - r.left : 0;
        ::SetWindowPos(m_panes[pane], nullptr, r.left, r.top, width, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Invalidate();
}

bool WtlSplitterWindow::OnSetCursor(LPARAM lParam)
{
    if (LOWORD(lParam) != HTCLIENT)
        return false;
    POINT point{};
    ::GetCursorPos(&point);
    ::ScreenToClient(m_hWnd, &point);
    const wchar_t* cursor = m_dragging || IsOverBar(point.x) ? IDC_SIZEWE : IDC_ARROW;
    ::SetCursor(::LoadCursorW(nullptr, cursor));
    return true;
}

void WtlSplitterWindow::OnLButtonDown(LPARAM lParam)
{
    const int x = GET_X_LPARAM(lParam);
    if (!IsOverBar(x))
        return;
    m_dragging = true;
    m_dragOffset = x - m_position;
    ::SetCapture(m_hWnd);
}

void WtlSplitterWindow::OnMouseMove(LPARAM lParam)
{
    if (m_dragging)
        SetSplitterPos(GET_X_LPARAM(lParam) - m_dragOffset);
}

bool WtlSplitterWindow::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam,
                                             LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_SIZE:
        UpdateLayout();
        return true;
    case WM_SETCURSOR:
        result = TRUE;
        return OnSetCursor(lParam);
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        return true;
    case WM_LBUTTONUP:
        if (m_dragging)
            ::ReleaseCapture();
        return true;
    case WM_CAPTURECHANGED:
        m_dragging = false;
        return true;
    case WM_NOTIFY:
    case WM_COMMAND:
        result = ::SendMessageW(GetParent(), message, wParam, lParam);
        return true;
    default:
        return false;
    }
}
