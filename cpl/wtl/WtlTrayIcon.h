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
//
// A shell that starts again (after a crash, or a new sign-in of the task
// bar) has forgotten every icon and broadcasts "TaskbarCreated"; the mixin
// then adds its icon again, also when the first install had been refused
// while the icon was wanted. T may hide NotifyShell to see or answer the
// shell calls itself.
template <class T>
class WtlTrayIcon
{
public:
    static constexpr DWORD ICON_DATA_SIZE = offsetof(NOTIFYICONDATAW, guidItem);
    static constexpr size_t TIP_CHARS = 127;

    WtlTrayIcon() : m_taskbarCreated(::RegisterWindowMessageW(L"TaskbarCreated"))
    {
        m_iconData.cbSize = ICON_DATA_SIZE;
    }
    // T is gone by now, so its NotifyShell is too: the shell directly.
    ~WtlTrayIcon()
    {
        if (m_installed) {
            (void)::Shell_NotifyIconW(NIM_DELETE, &m_iconData);
        }
    }

    WtlTrayIcon(const WtlTrayIcon&) = delete;
    WtlTrayIcon& operator=(const WtlTrayIcon&) = delete;

    // The tip is cut to 127 characters. False when the shell refuses the icon;
    // the icon stays wanted until RemoveIcon.
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
        m_wanted = true;
        AllowTaskbarCreated();
        return AddIcon();
    }

    void RemoveIcon()
    {
        m_wanted = false;
        if (m_installed) {
            // A failure leaves nothing to undo: the icon is not ours any more.
            (void)static_cast<T*>(this)->NotifyShell(NIM_DELETE, &m_iconData);
            m_installed = false;
        }
    }

    bool IsIconInstalled() const { return m_installed; }
    const NOTIFYICONDATAW& GetIconData() const { return m_iconData; }

    // The icon's callback reaches the owner only while the icon is installed
    // and only for this icon's id. "TaskbarCreated" adds a wanted icon again
    // and is left unhandled, for other parts of the window that care.
    bool ProcessTrayIconMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
    {
        if (message == m_taskbarCreated && m_taskbarCreated != 0) {
            OnTaskbarCreated();
            return false;
        }
        if (!m_installed || message != m_iconData.uCallbackMessage ||
            wParam != m_iconData.uID) {
            return false;
        }
        static_cast<T*>(this)->OnTrayIconNotify(LOWORD(lParam));
        result = 0;
        return true;
    }

    // The one place that talks to the shell.
    BOOL NotifyShell(DWORD command, NOTIFYICONDATAW* data) { return ::Shell_NotifyIconW(command, data); }

private:
    bool AddIcon()
    {
        m_installed = static_cast<T*>(this)->NotifyShell(NIM_ADD, &m_iconData) != FALSE;
        return m_installed;
    }

    // A restarted shell knows none of our icons, so the add is a fresh one;
    // a shell that kept them (the message also comes on a DPI change) refuses
    // the add and takes a modify instead.
    void OnTaskbarCreated()
    {
        if (!m_wanted) {
            return;
        }
        const bool wasInstalled = m_installed;
        if (!AddIcon() && wasInstalled) {
            m_installed = static_cast<T*>(this)->NotifyShell(NIM_MODIFY, &m_iconData) != FALSE;
        }
    }

    // An elevated window hears a message from the user's unelevated shell
    // only when it lets that message through.
    void AllowTaskbarCreated()
    {
        if (m_taskbarCreated != 0 && m_iconData.hWnd != nullptr) {
            (void)::ChangeWindowMessageFilterEx(m_iconData.hWnd, m_taskbarCreated, MSGFLT_ALLOW,
                                                nullptr);
        }
    }

    NOTIFYICONDATAW m_iconData{};
    const UINT m_taskbarCreated;
    bool m_installed = false;
    bool m_wanted = false;
};
