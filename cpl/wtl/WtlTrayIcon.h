#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstddef>
#include <cwchar>

// Mixin of a window with one icon in the notification area. T has the
// window handle `m_hWnd` and receives the icon's mouse messages in
// `void OnTrayIconNotify(UINT mouseMessage)`. The record's size is that of
// the version 2 layout (up to the GUID field): what every shell accepts.
// A refused install is not fatal; the window just has no icon.
template <class T>
class WtlTrayIcon
{
public:
    static constexpr DWORD ICON_DATA_SIZE = offsetof(NOTIFYICONDATAW, guidItem);
    static constexpr size_t TIP_CHARS = 127;

    WtlTrayIcon()
    {
        m_iconData.cbSize = ICON_DATA_SIZE;
    }
    ~WtlTrayIcon() { RemoveIcon(); }

    WtlTrayIcon(const WtlTrayIcon&) = delete;
    WtlTrayIcon& operator=(const WtlTrayIcon&) = delete;

    // The tip is cut to 127 characters. False when the shell refuses the icon.
    bool InstallIcon(const wchar_t* tip, HICON icon, UINT id, UINT callbackMessage)
    {
        RemoveIcon();
        m_iconData.hWnd = static_cast<T*>(this)->m_hWnd;
        m_iconData.uID = id;
        m_iconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        m_iconData.uCallbackMessage = callbackMessage;
        m_iconData.hIcon = icon;
        wcsncpy(m_iconData.szTip, tip != nullptr ? tip : L"", TIP_CHARS);
        m_iconData.szTip[TIP_CHARS] = L'\0';
        m_installed = Shell_NotifyIconW(NIM_ADD, &m_iconData) != FALSE;
        return m_installed;
    }

    void RemoveIcon()
    {
        if (m_installed) {
            // A failure leaves nothing to undo: the icon is not ours any more.
            (void)Shell_NotifyIconW(NIM_DELETE, &m_iconData);
            m_installed = false;
        }
    }

    bool IsIconInstalled() const { return m_installed; }
    const NOTIFYICONDATAW& GetIconData() const { return m_iconData; }

    // The icon's callback reaches the owner only while the icon is installed
    // and only for this icon's id.
    bool ProcessTrayIconMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
    {
        if (!m_installed || message != m_iconData.uCallbackMessage ||
            wParam != m_iconData.uID) {
            return false;
        }
        static_cast<T*>(this)->OnTrayIconNotify(LOWORD(lParam));
        result = 0;
        return true;
    }

private:
    NOTIFYICONDATAW m_iconData{};
    bool m_installed = false;
};
