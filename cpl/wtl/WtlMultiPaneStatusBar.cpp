#include "WtlMultiPaneStatusBar.h"

#include <commctrl.h>

namespace {

constexpr int MaxPanes = 255; // the status bar's own limit
constexpr UINT_PTR SubclassId = 1;

} // namespace

WtlMultiPaneStatusBar::~WtlMultiPaneStatusBar()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::RemoveWindowSubclass(m_hWnd, SubclassProc, SubclassId);
}

HWND WtlMultiPaneStatusBar::Create(HWND parent, UINT id, const wchar_t* text)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP | CCS_BOTTOM;
    m_hWnd = ::CreateWindowExW(0, STATUSCLASSNAMEW, text, style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                               nullptr);
    // Pane edges are recomputed whenever the bar is resized with its parent.
    if (m_hWnd != nullptr)
        ::SetWindowSubclass(m_hWnd, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    return m_hWnd;
}

bool WtlMultiPaneStatusBar::SetPanes(const int* widths, int count)
{
    if (widths == nullptr || count < 1 || count > MaxPanes)
        return false;
    // A single-pane bar shows its text in "simple" mode; panes need it off.
    const std::wstring text = GetWindowText();
    m_widths.assign(widths, widths + count);
    for (int& width : m_widths)
        width = width > 0 ? width : 0;
    SendMessage(SB_SIMPLE, FALSE, 0);
    UpdatePanes();
    SetPaneText(0, text.c_str());
    return true;
}

void WtlMultiPaneStatusBar::UpdatePanes()
{
    if (m_widths.empty())
        return;
    RECT client{};
    GetClientRect(&client);
    // Right edges from the right border leftwards; the last pane runs to the border.
    std::vector<int> edges(m_widths.size());
    edges.back() = -1;
    int right = client.right;
    for (size_t i = m_widths.size() - 1; i > 0; --i) {
        right -= m_widths[i];
        edges[i - 1] = right > 0 ? right : 0;
    }
    SendMessage(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

bool WtlMultiPaneStatusBar::SetPaneText(int pane, const wchar_t* text)
{
    return SendMessage(SB_SETTEXTW, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text)) != 0;
}

std::wstring WtlMultiPaneStatusBar::GetPaneText(int pane) const
{
    const int count = static_cast<int>(SendMessage(SB_GETPARTS, 0, 0));
    if (pane < 0 || pane >= count)
        return {};
    const size_t length = LOWORD(SendMessage(SB_GETTEXTLENGTHW, static_cast<WPARAM>(pane), 0));
    std::wstring text(length + 1, L'\0');
    SendMessage(SB_GETTEXTW, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

LRESULT CALLBACK WtlMultiPaneStatusBar::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                                     LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR data)
{
    const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
    if (message == WM_SIZE)
        reinterpret_cast<WtlMultiPaneStatusBar*>(data)->UpdatePanes();
    else if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
    return result;
}
