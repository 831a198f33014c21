#include "WtlCellGrid.h"

#include "WtlDpi.h"
#include "WtlGdiOwners.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace {

constexpr UINT_PTR TOOL_ID = 1;

void Fill(HDC dc, const RECT& rect, COLORREF color)
{
    ::SetBkColor(dc, color);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

bool Intersects(const RECT& a, const RECT& b)
{
    RECT both{};
    return ::IntersectRect(&both, &a, &b) != FALSE;
}

} // namespace

HWND WtlCellGrid::Create(HINSTANCE instance, HWND parent, const Geometry& geometry, int x, int y,
                         int id)
{
    m_geometry = geometry;
    const SIZE size = ContentSize();
    HWND grid = WtlWindowImpl::Create(instance, parent, RECT{x, y, x + size.cx, y + size.cy},
                                      L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    if (grid != nullptr) {
        CreateToolTip(instance);
    }
    return grid;
}

SIZE WtlCellGrid::ContentSize() const
{
    const Geometry& g = m_geometry;
    const int blocksAcross = (g.columns + g.blockColumns - 1) / std::max(g.blockColumns, 1);
    const int blocksDown = (g.rows + g.blockRows - 1) / std::max(g.blockRows, 1);
    return SIZE{blocksAcross * g.pitchX, blocksDown * g.pitchY};
}

SIZE WtlCellGrid::CellSize() const
{
    const Geometry& g = m_geometry;
    const int blockWidth = g.pitchX - g.bar;
    const int width = (blockWidth - (g.blockColumns + 1) * g.insetX) / std::max(g.blockColumns, 1);
    const int height = (g.pitchY - (g.blockRows + 1) * g.insetY) / std::max(g.blockRows, 1);
    return SIZE{std::max(width, 1), std::max(height, 1)};
}

RECT WtlCellGrid::CellRect(int column, int row) const
{
    const Geometry& g = m_geometry;
    const SIZE cell = CellSize();
    const int left = (column / g.blockColumns) * g.pitchX + g.bar + g.insetX +
                     (column % g.blockColumns) * (cell.cx + g.insetX);
    const int top =
        (row / g.blockRows) * g.pitchY + g.insetY + (row % g.blockRows) * (cell.cy + g.insetY);
    return RECT{left, top, left + cell.cx, top + cell.cy};
}

bool WtlCellGrid::HitTest(POINT point, int& column, int& row) const
{
    const Geometry& g = m_geometry;
    if (point.x < 0 || point.y < 0 || g.pitchX <= 0 || g.pitchY <= 0) {
        return false;
    }
    const SIZE cell = CellSize();
    const int blockColumn = point.x / g.pitchX;
    const int blockRow = point.y / g.pitchY;
    const int x = point.x % g.pitchX - g.bar - g.insetX;
    const int y = point.y % g.pitchY - g.insetY;
    if (x < 0 || y < 0) {
        return false;
    }
    const int inColumn = x / (cell.cx + g.insetX);
    const int inRow = y / (cell.cy + g.insetY);
    if (inColumn >= g.blockColumns || inRow >= g.blockRows || x % (cell.cx + g.insetX) >= cell.cx ||
        y % (cell.cy + g.insetY) >= cell.cy) {
        return false;
    }
    column = blockColumn * g.blockColumns + inColumn;
    row = blockRow * g.blockRows + inRow;
    return column < g.columns && row < g.rows;
}

void WtlCellGrid::SetFocusCell(int column, int row)
{
    column = std::clamp(column, 0, std::max(m_geometry.columns - 1, 0));
    row = std::clamp(row, 0, std::max(m_geometry.rows - 1, 0));
    if (column == m_focusColumn && row == m_focusRow) {
        return;
    }
    InvalidateCell(m_focusColumn, m_focusRow);
    m_focusColumn = column;
    m_focusRow = row;
    InvalidateCell(column, row);
    m_source.CellFocused(column, row, CellRect(column, row));
}

void WtlCellGrid::InvalidateCell(int column, int row)
{
    if (m_hWnd != nullptr && column < m_geometry.columns && row < m_geometry.rows) {
        const RECT rect = CellRect(column, row);
        ::InvalidateRect(m_hWnd, &rect, FALSE);
    }
}

void WtlCellGrid::PrepareWindowClass(WNDCLASSEXW& wc) const
{
    wc.hbrBackground = nullptr; // the paint covers every pixel
}

bool WtlCellGrid::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT& result)
{
    switch (message) {
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT: {
        WtlPaintDC paint(m_hWnd);
        Paint(paint.Get(), paint.Paint().rcPaint);
        result = 0;
        return true;
    }
    case WM_SETFONT:
        m_font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam) != 0) {
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        }
        result = 0;
        return true;
    case WM_GETFONT:
        result = reinterpret_cast<LRESULT>(m_font);
        return true;
    case WM_GETDLGCODE: {
        // Arrows move between cells; Enter opens one rather than pressing a default button.
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        const bool enter = msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
        result = DLGC_WANTARROWS | DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
        return true;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        m_hasFocus = message == WM_SETFOCUS;
        InvalidateCell(m_focusColumn, m_focusRow);
        result = 0;
        return true;
    case WM_KEYDOWN:
        result = 0;
        return OnKeyDown(wParam);
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        result = 0;
        return true;
    case WM_LBUTTONDOWN:
        OnButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        result = 0;
        return true;
    case WM_NOTIFY:
        result = OnToolTipText(reinterpret_cast<NMHDR*>(lParam));
        return true;
    case WM_DESTROY:
        if (m_toolTip != nullptr) {
            ::DestroyWindow(m_toolTip); // owned by the top-level window, not by the grid
            m_toolTip = nullptr;
        }
        return false;
    default:
        return false;
    }
}

void WtlCellGrid::Paint(HDC dc, const RECT& update)
{
    HGDIOBJ oldFont = m_font != nullptr ? ::SelectObject(dc, m_font) : nullptr;
    ::SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    // Cells first, each then taken out of the clip, so the background fill
    // below never paints over a cell and a changed weight does not flicker.
    for (int column = 0; column < m_geometry.columns; ++column) {
        for (int row = 0; row < m_geometry.rows; ++row) {
            const RECT rect = CellRect(column, row);
            if (Intersects(rect, update)) {
                PaintCell(dc, column, row);
                ::ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
            }
        }
    }
    PaintBars(dc, update);
    Fill(dc, update, ::GetSysColor(COLOR_BTNFACE));
    if (oldFont != nullptr) {
        ::SelectObject(dc, oldFont);
    }
}

void WtlCellGrid::PaintCell(HDC dc, int column, int row)
{
    RECT rect = CellRect(column, row);
    RECT inner = rect;
    ::DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    const std::wstring text = m_source.CellText(column, row);
    ::SetBkColor(dc, m_source.CellColor(column, row));
    // ETO_OPAQUE fills the cell's inside; the text is centred in it.
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const int x = inner.left + (inner.right - inner.left - extent.cx) / 2;
    const int y = inner.top + (inner.bottom - inner.top - extent.cy) / 2;
    ::ExtTextOutW(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &inner, text.c_str(),
                  static_cast<UINT>(text.size()), nullptr);
    if (m_hasFocus && column == m_focusColumn && row == m_focusRow) {
        RECT focus = inner;
        ::InflateRect(&focus, -1, -1);
        ::DrawFocusRect(dc, &focus);
    }
}

void WtlCellGrid::PaintBars(HDC dc, const RECT& update)
{
    if (m_geometry.bar <= 0) {
        return;
    }
    const SIZE size = ContentSize();
    for (int x = 0; x < size.cx; x += m_geometry.pitchX) {
        RECT bar{x, 0, x + m_geometry.bar, size.cy};
        if (!Intersects(bar, update)) {
            continue;
        }
        ::DrawEdge(dc, &bar, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        Fill(dc, bar, ::GetSysColor(COLOR_BTNFACE));
        ::ExcludeClipRect(dc, x, 0, x + m_geometry.bar, size.cy);
    }
}

bool WtlCellGrid::OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_LEFT:
        SetFocusCell(m_focusColumn - 1, m_focusRow);
        return true;
    case VK_RIGHT:
        SetFocusCell(m_focusColumn + 1, m_focusRow);
        return true;
    case VK_UP:
        SetFocusCell(m_focusColumn, m_focusRow - 1);
        return true;
    case VK_DOWN:
        SetFocusCell(m_focusColumn, m_focusRow + 1);
        return true;
    case VK_HOME:
        SetFocusCell(0, m_focusRow);
        return true;
    case VK_END:
        SetFocusCell(m_geometry.columns - 1, m_focusRow);
        return true;
    case VK_RETURN:
    case VK_SPACE:
        Activate(m_focusColumn, m_focusRow);
        return true;
    default:
        return false;
    }
}

void WtlCellGrid::OnMouseMove(POINT point)
{
    int column = -1;
    int row = -1;
    if (!HitTest(point, column, row)) {
        column = row = -1;
    }
    if (column != m_hotColumn || row != m_hotRow) {
        // A new cell: the shown tip goes, and the next one asks for its own text.
        m_hotColumn = column;
        m_hotRow = row;
        if (m_toolTip != nullptr) {
            ::SendMessageW(m_toolTip, TTM_POP, 0, 0);
        }
    }
}

void WtlCellGrid::OnButtonDown(POINT point)
{
    ::SetFocus(m_hWnd);
    int column = 0;
    int row = 0;
    if (HitTest(point, column, row)) {
        SetFocusCell(column, row);
        Activate(column, row);
    }
}

void WtlCellGrid::Activate(int column, int row)
{
    if (column >= 0 && row >= 0 && column < m_geometry.columns && row < m_geometry.rows) {
        m_source.ActivateCell(column, row);
    }
}

void WtlCellGrid::CreateToolTip(HINSTANCE instance)
{
    m_toolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                  WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                  instance, nullptr);
    if (m_toolTip == nullptr) {
        return;
    }
    // One tool over the whole grid; its text is asked for per cell.
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = m_hWnd;
    tool.uId = TOOL_ID;
    const SIZE size = ContentSize();
    tool.rect = RECT{0, 0, size.cx, size.cy};
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, WtlDpi::Scale(m_hWnd, 400));
}

LRESULT WtlCellGrid::OnToolTipText(NMHDR* header)
{
    if (header == nullptr || header->hwndFrom != m_toolTip || header->code != TTN_GETDISPINFOW) {
        return 0;
    }
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    m_tipText.clear();
    if (m_hotColumn >= 0 && m_hotRow >= 0) {
        m_tipText = m_source.CellTip(m_hotColumn, m_hotRow);
    }
    info->lpszText = const_cast<wchar_t*>(m_tipText.c_str());
    return 0;
}
