#include "FormMixerPanes.h"

#include <algorithm>

namespace {

// A scroll bar over the whole of an axis, its thumb the view.
void SetScrollRange(HWND window, int bar, const WtlFrozenAxis& axis, int view)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMax = axis.Range() > 0 ? axis.Total() - 1 : 0;
    info.nPage = axis.Range() > 0 ? static_cast<UINT>(view) : 0;
    ::SetScrollInfo(window, bar, &info, TRUE);
}

bool HasStyle(HWND window, DWORD style)
{
    return (static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)) & style) != 0;
}

DWORD StyleOf(HWND window)
{
    return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
}

DWORD ExStyleOf(HWND window)
{
    return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
}

RECT ClientOf(HWND window)
{
    RECT client{};
    ::GetClientRect(window, &client);
    return client;
}

} // namespace

void FormMixerPanes::Create(HINSTANCE instance, HWND window, const Parts& parts)
{
    m_window = window;
    m_parts = parts;
    m_scroll = POINT{0, 0};
    const RECT none{0, 0, 0, 0};
    m_rows.Create(instance, window, none);
    m_crosspoints.Create(instance, window, none);
    m_columns.Create(instance, window, none);
}

void FormMixerPanes::Destroy()
{
    for (WtlScrollPane* pane : {&m_rows, &m_crosspoints, &m_columns}) {
        if (pane->m_hWnd != nullptr) {
            ::DestroyWindow(pane->m_hWnd);
        }
    }
    if (m_window != nullptr) {
        ::ShowScrollBar(m_window, SB_BOTH, FALSE);
    }
    m_window = nullptr;
    m_grid = nullptr;
    m_scroll = POINT{0, 0};
}

bool FormMixerPanes::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (m_window == nullptr) {
        return false;
    }
    switch (message) {
    case WM_SIZE:
        Layout();
        return false;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam != 0) {
            return false; // a control's, not the window's
        }
        OnScroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
        result = 0;
        return true;
    case WM_MOUSEWHEEL:
        OnWheel(wParam);
        result = 0;
        return true;
    case WM_NEXTDLGCTL:
        // Tab and the dialog keys move the focus in the default handling;
        // once it has moved, its control is brought into view.
        ::PostMessageW(m_window, WM_MIXER_SHOW_FOCUS, 0, 0);
        return false;
    case WM_MIXER_SHOW_FOCUS:
        ScrollFocusIntoView();
        result = 0;
        return true;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        result = 0;
        return true;
    default:
        return false;
    }
}

void FormMixerPanes::OnWheel(WPARAM wParam)
{
    // A row per notch down the rows; with Shift held, a column per notch
    // across. A touch pad's fractions of a notch scroll as far.
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    const bool across = (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0;
    const int step = ::MulDiv(delta, across ? m_parts.pitchX() : m_parts.row.cy, WHEEL_DELTA);
    ScrollTo(across ? POINT{m_scroll.x - step, m_scroll.y} : POINT{m_scroll.x, m_scroll.y - step});
}

WtlFrozenAxis FormMixerPanes::HorizontalAxis(int view) const
{
    const Parts& p = m_parts;
    return WtlFrozenAxis({0, p.rowsWidth(), p.columns * p.pitchX(), p.pitchX()}, view);
}

WtlFrozenAxis FormMixerPanes::VerticalAxis(int view) const
{
    const Parts& p = m_parts;
    return WtlFrozenAxis({p.header, p.bandHeight(), p.rows * p.row.cy + p.bar, p.row.cy}, view);
}

void FormMixerPanes::ShowNeededScrollBars()
{
    // The client area without scroll bars, then each bar that the content
    // needs; a bar taking room can make the other one needed too.
    const RECT client = ClientOf(m_window);
    const int fullWidth =
        client.right + (HasStyle(m_window, WS_VSCROLL) ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
    const int fullHeight =
        client.bottom + (HasStyle(m_window, WS_HSCROLL) ? ::GetSystemMetrics(SM_CYHSCROLL) : 0);
    bool across = false;
    bool down = false;
    for (int pass = 0; pass < 2; ++pass) {
        const int width = fullWidth - (down ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
        const int height = fullHeight - (across ? ::GetSystemMetrics(SM_CYHSCROLL) : 0);
        across = HorizontalAxis(width).Range() > 0;
        down = VerticalAxis(height).Range() > 0;
    }
    if (across != HasStyle(m_window, WS_HSCROLL)) {
        ::ShowScrollBar(m_window, SB_HORZ, across);
    }
    if (down != HasStyle(m_window, WS_VSCROLL)) {
        ::ShowScrollBar(m_window, SB_VERT, down);
    }
}

void FormMixerPanes::Layout()
{
    if (m_window == nullptr || m_inLayout) {
        return;
    }
    m_inLayout = true;
    ShowNeededScrollBars();
    const RECT client = ClientOf(m_window);
    const WtlFrozenAxis across = HorizontalAxis(client.right);
    const WtlFrozenAxis down = VerticalAxis(client.bottom);
    const int header = m_parts.header;
    const int left = across.FrozenShown();
    const int width = across.BodyShown();
    const int height = down.BodyShown();
    ::MoveWindow(m_rows.m_hWnd, 0, header, left, height, TRUE);
    ::MoveWindow(m_crosspoints.m_hWnd, left, header, width, height, TRUE);
    ::MoveWindow(m_columns.m_hWnd, left, header + height, width, down.FrozenShown(), TRUE);
    SetScrollRange(m_window, SB_HORZ, across, client.right);
    SetScrollRange(m_window, SB_VERT, down, client.bottom);
    m_inLayout = false;
    ScrollTo(m_scroll);
}

void FormMixerPanes::ScrollTo(POINT position)
{
    if (m_window == nullptr) {
        return;
    }
    const RECT client = ClientOf(m_window);
    const WtlFrozenAxis across = HorizontalAxis(client.right);
    const WtlFrozenAxis down = VerticalAxis(client.bottom);
    m_scroll = POINT{std::clamp<LONG>(position.x, 0, across.Range()),
                     std::clamp<LONG>(position.y, 0, down.Range())};
    m_rows.ScrollTo(across.FrozenOffset(m_scroll.x), down.BodyOffset(m_scroll.y));
    m_crosspoints.ScrollTo(across.BodyOffset(m_scroll.x), down.BodyOffset(m_scroll.y));
    m_columns.ScrollTo(across.BodyOffset(m_scroll.x), down.FrozenOffset(m_scroll.y));
    ::SetScrollPos(m_window, SB_HORZ, m_scroll.x, TRUE);
    ::SetScrollPos(m_window, SB_VERT, m_scroll.y, TRUE);
}

void FormMixerPanes::OnScroll(int bar, int code)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(m_window, bar, &info);
    const bool across = bar == SB_HORZ;
    const int line = across ? m_parts.pitchX() : m_parts.row.cy;
    const int page = std::max(static_cast<int>(info.nPage) - line, line);
    int position = across ? m_scroll.x : m_scroll.y;
    switch (code) {
    case SB_LINEUP:
        position -= line;
        break;
    case SB_LINEDOWN:
        position += line;
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    default:
        return;
    }
    ScrollTo(across ? POINT{position, m_scroll.y} : POINT{m_scroll.x, position});
}

void FormMixerPanes::ScrollIntoView(const RECT& cell)
{
    const RECT client = ClientOf(m_window);
    const int x = HorizontalAxis(client.right).PositionShowing(m_scroll.x, cell.left, cell.right);
    const int y = VerticalAxis(client.bottom).PositionShowing(m_scroll.y, cell.top, cell.bottom);
    ScrollTo(POINT{x, y});
}

void FormMixerPanes::ScrollFocusIntoView()
{
    HWND focus = ::GetFocus();
    if (m_window == nullptr || focus == nullptr) {
        return;
    }
    if (m_grid != nullptr && focus == m_grid->m_hWnd) {
        ScrollIntoView(m_grid->CellRect(m_grid->FocusColumn(), m_grid->FocusRow()));
        return;
    }
    // A strip's control: along the axis its pane scrolls with the crosspoints.
    const bool inColumns = ::IsChild(m_columns.m_hWnd, focus) != FALSE;
    if (!inColumns && !::IsChild(m_rows.m_hWnd, focus)) {
        return;
    }
    const WtlScrollPane& pane = inColumns ? m_columns : m_rows;
    RECT control{};
    ::GetWindowRect(focus, &control);
    ::MapWindowPoints(nullptr, pane.m_hWnd, reinterpret_cast<POINT*>(&control), 2);
    ::OffsetRect(&control, pane.Offset().x, pane.Offset().y);
    const RECT client = ClientOf(m_window);
    POINT position = m_scroll;
    if (inColumns) {
        position.x =
            HorizontalAxis(client.right).PositionShowing(m_scroll.x, control.left, control.right);
    } else {
        position.y =
            VerticalAxis(client.bottom).PositionShowing(m_scroll.y, control.top, control.bottom);
    }
    ScrollTo(position);
}

SIZE FormMixerPanes::ContentWindowSize(bool withBars) const
{
    RECT window{0, 0, HorizontalAxis(0).Total(), VerticalAxis(0).Total()};
    if (withBars) {
        window.right += ::GetSystemMetrics(SM_CXVSCROLL);
        window.bottom += ::GetSystemMetrics(SM_CYHSCROLL);
    }
    ::AdjustWindowRectEx(&window, StyleOf(m_window) & ~(WS_HSCROLL | WS_VSCROLL), FALSE,
                         ExStyleOf(m_window));
    return SIZE{window.right - window.left, window.bottom - window.top};
}

RECT FormMixerPanes::WorkArea() const
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    return monitor.rcWork;
}

void FormMixerPanes::OnGetMinMaxInfo(MINMAXINFO& info) const
{
    if (m_window == nullptr) {
        return;
    }
    // At most the content (with room for bars that a narrower side needs)
    // and the work area; at least the corner, one row and one column.
    const RECT work = WorkArea();
    const SIZE most = ContentWindowSize(true);
    info.ptMaxTrackSize.x = std::min<LONG>(most.cx, work.right - work.left);
    info.ptMaxTrackSize.y = std::min<LONG>(most.cy, work.bottom - work.top);
    info.ptMaxSize = info.ptMaxTrackSize;
    info.ptMaxPosition = POINT{work.left, work.top};
    RECT least{0, 0, m_parts.rowsWidth() + m_parts.pitchX() + ::GetSystemMetrics(SM_CXVSCROLL),
               m_parts.header + m_parts.row.cy + ::GetSystemMetrics(SM_CYHSCROLL)};
    ::AdjustWindowRectEx(&least, StyleOf(m_window) & ~(WS_HSCROLL | WS_VSCROLL), FALSE,
                         ExStyleOf(m_window));
    info.ptMinTrackSize.x = std::min(least.right - least.left, info.ptMaxTrackSize.x);
    info.ptMinTrackSize.y = std::min(least.bottom - least.top, info.ptMaxTrackSize.y);
}

