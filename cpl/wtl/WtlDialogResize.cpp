#include "WtlDialogResize.h"

#include <algorithm>

void WtlDialogResize::Init(HWND dialog, bool gripper, bool useMinTrackSize)
{
    m_dialog = dialog;
    m_controls.clear();
    RECT client{};
    ::GetClientRect(dialog, &client);
    m_initialClient = {client.right, client.bottom};
    m_minTrackSize = {};
    if (useMinTrackSize) {
        RECT window{};
        ::GetWindowRect(dialog, &window);
        m_minTrackSize = {window.right - window.left, window.bottom - window.top};
    }
    if (gripper) {
        const int cx = ::GetSystemMetrics(SM_CXVSCROLL);
        const int cy = ::GetSystemMetrics(SM_CYHSCROLL);
        HWND grip = ::CreateWindowExW(0, L"SCROLLBAR", nullptr,
                                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP |
                                          SBS_SIZEBOXBOTTOMRIGHTALIGN,
                                      client.right - cx, client.bottom - cy, cx, cy, dialog, nullptr,
                                      nullptr, nullptr);
        if (grip != nullptr)
            m_controls.push_back({grip, MoveX | MoveY, {client.right - cx, client.bottom - cy, client.right, client.bottom}});
    }
}

bool WtlDialogResize::AddRule(int controlId, unsigned flags)
{
    HWND control = ::GetDlgItem(m_dialog, controlId);
    if (control == nullptr)
        return false;
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&rect), 2);
    m_controls.push_back({control, flags, rect});
    return true;
}

void WtlDialogResize::UpdateLayout(int cx, int cy)
{
    const int dx = cx - m_initialClient.cx;
    const int dy = cy - m_initialClient.cy;
    for (const Control& control : m_controls) {
        RECT rect = control.initial;
        if (control.flags & MoveX)
            ::OffsetRect(&rect, dx, 0);
        if (control.flags & MoveY)
            ::OffsetRect(&rect, 0, dy);
        if (control.flags & SizeX)
            rect.right = std::max(rect.left, rect.right + dx);
        if (control.flags & SizeY)
            rect.bottom = std::max(rect.top, rect.bottom + dy);
        ::SetWindowPos(control.hwnd, nullptr, rect.left, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(m_dialog, nullptr, TRUE);
}
