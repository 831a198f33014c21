#include "WtlHyperLink.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr UINT_PTR SubclassId = 1;

// The markup's text outside its tags ("<a href=...>text</a>" -> "text").
std::wstring TextOutsideTags(const std::wstring& markup)
{
    std::wstring text;
    bool inTag = false;
    for (wchar_t c : markup) {
        if (c == L'<')
            inTag = true;
        else if (c == L'>')
            inTag = false;
        else if (!inTag)
            text += c;
    }
    return text;
}

HFONT ControlFont(HWND hwnd)
{
    return reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
}

} // namespace

WtlHyperLink::~WtlHyperLink()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::RemoveWindowSubclass(m_hWnd, SubclassProc, SubclassId);
}

bool WtlHyperLink::Attach(HWND link)
{
    if (link == nullptr)
        return false;
    m_hWnd = link;
    m_text = TextOutsideTags(GetWindowText());
    return ::SetWindowSubclass(m_hWnd, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

SIZE WtlHyperLink::TextExtent()
{
    WtlClientDC dc(m_hWnd);
    WtlSelectObject font(dc.Get(), LinkFont());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc.Get(), m_text.c_str(), static_cast<int>(m_text.size()), &extent);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.Get(), &metrics);
    extent.cx += metrics.tmAveCharWidth;
    return extent;
}

void WtlHyperLink::FitToText()
{
    RECT rect{};
    GetWindowRect(&rect);
    ::MapWindowPoints(nullptr, GetParent(), reinterpret_cast<POINT*>(&rect), 2);
    RECT parent{};
    ::GetClientRect(GetParent(), &parent);
    const int width = std::min<int>(TextExtent().cx, parent.right - rect.left);
    SetWindowPos(nullptr, 0, 0, width, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT WtlHyperLink::LinkFont()
{
    // Made again when the control got another font.
    HFONT font = ControlFont(m_hWnd);
    if (m_linkFont == nullptr || font != m_fontOfLinkFont) {
        LOGFONTW description{};
        ::GetObjectW(font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT), sizeof(description),
                     &description);
        description.lfUnderline = TRUE;
        m_linkFont.reset(::CreateFontIndirectW(&description));
        m_fontOfLinkFont = font;
    }
    return m_linkFont.get();
}

void WtlHyperLink::Paint(HDC dc)
{
    RECT client{};
    GetClientRect(&client);
    // The parent chooses the background, as for a static text.
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(GetParent(), WM_CTLCOLORSTATIC,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(m_hWnd)));
    ::FillRect(dc, &client, brush != nullptr ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
    const int saved = ::SaveDC(dc); // a WM_PRINTCLIENT caller gets its DC back as it was
    ::SelectObject(dc, LinkFont());
    ::SetBkMode(dc, TRANSPARENT);
    // The SysLink's own link colour under Wine; a blue on Windows' themes too.
    ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHT));
    const UINT format = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX;
    ::DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &client, format);
    if (::GetFocus() == m_hWnd) {
        RECT focus = client;
        ::DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &focus, format | DT_CALCRECT);
        focus.right = std::min(focus.right + 2, client.right);
        ::DrawFocusRect(dc, &focus);
    }
    ::RestoreDC(dc, saved);
}

LRESULT CALLBACK WtlHyperLink::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR /*id*/, DWORD_PTR data)
{
    auto* self = reinterpret_cast<WtlHyperLink*>(data);
    switch (message) {
    case WM_PAINT: {
        WtlPaintDC dc(hwnd);
        self->Paint(dc.Get());
        return 0;
    }
    case WM_PRINTCLIENT:
        self->Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(hwnd, nullptr, TRUE); // the focus rectangle comes or goes
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
        self->m_hWnd = nullptr;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
