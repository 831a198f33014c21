#include "WtlReBar.h"

#include <commctrl.h>

HWND WtlReBar::Create(HWND parent, UINT id)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                        RBS_BANDBORDERS | RBS_AUTOSIZE | CCS_NODIVIDER | CCS_TOP;
    m_hWnd = ::CreateWindowExW(0, REBARCLASSNAMEW, nullptr, style, 0, 0, 100, 100, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                               nullptr);
    if (m_hWnd != nullptr) {
        REBARINFO info{};
        info.cbSize = sizeof(info);
        SendMessage(RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    }
    return m_hWnd;
}

bool WtlReBar::AddBand(HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    SIZE size{rect.right - rect.left, rect.bottom - rect.top};
    // A toolbar reports the size its buttons need.
    wchar_t className[32]{};
    ::GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, TOOLBARCLASSNAMEW) == 0)
        ::SendMessageW(child, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));

    REBARBANDINFOW band{};
    band.cbSize = REBARBANDINFOW_V6_SIZE;
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_SIZE | RBBIM_IDEALSIZE;
    band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS | RBBS_USECHEVRON;
    band.hwndChild = child;
    band.cxMinChild = 0;
    band.cyMinChild = size.cy;
    band.cx = size.cx;
    band.cxIdeal = size.cx;
    return SendMessage(RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band)) != 0;
}
