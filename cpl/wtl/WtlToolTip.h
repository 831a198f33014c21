#pragma once

#include "WtlWindow.h"

#include <commctrl.h>

// Mixin of a page (T has m_hWnd): a balloon tool-tip window owned by the
// page with one tool per control. The tool-tip subclasses each control to
// see its mouse messages; the page relays its own with RelayEvent (or by
// chaining ProcessToolTipMessage).
template <class T>
class WtlToolTip
{
public:
    static constexpr DWORD ToolTipStyle = TTS_BALLOON | TTS_NOPREFIX; // 0x42
    static constexpr UINT ToolFlags = TTF_IDISHWND | TTF_SUBCLASS;   // 0x11

    ~WtlToolTip()
    {
        if (m_hWndToolTip != nullptr && ::IsWindow(m_hWndToolTip))
            ::DestroyWindow(m_hWndToolTip);
    }

    bool CreateToolTip()
    {
        HWND owner = static_cast<T*>(this)->m_hWnd;
        m_hWndToolTip = ::CreateWindowExW(
            WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | ToolTipStyle, CW_USEDEFAULT,
            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
            reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(owner, GWLP_HINSTANCE)), nullptr);
        return m_hWndToolTip != nullptr;
    }

    bool AddTool(HWND control, const wchar_t* text)
    {
        if (m_hWndToolTip == nullptr || control == nullptr)
            return false;
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = ToolFlags;
        tool.hwnd = static_cast<T*>(this)->m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = const_cast<wchar_t*>(text);
        return ::SendMessageW(m_hWndToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
    }

    void RelayEvent(MSG msg)
    {
        if (m_hWndToolTip != nullptr)
            ::SendMessageW(m_hWndToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }

    // Relays the page's mouse messages; never consumes one.
    bool ProcessToolTipMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& /*result*/)
    {
        if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_NCMOUSEMOVE) {
            MSG msg{hwnd, message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
            const DWORD pos = ::GetMessagePos();
            msg.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
            RelayEvent(msg);
        } else if (message == WM_DESTROY) {
            if (m_hWndToolTip != nullptr)
                ::DestroyWindow(m_hWndToolTip);
            m_hWndToolTip = nullptr;
        }
        return false;
    }

    HWND m_hWndToolTip = nullptr;
};
