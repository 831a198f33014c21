#pragma once

#include <windows.h>

// Mixin of a resizable window: the smallest (and, when set, largest) size the
// user can drag it to. A coordinate of -1 means "not set".
template <class T>
class WtlMinMaxTrackSize
{
public:
    void SetMinTrackSize(int cx, int cy) { m_minTrack = {cx, cy}; }
    void SetMaxTrackSize(int cx, int cy) { m_maxTrack = {cx, cy}; }
    POINT GetMinTrackSize() const { return m_minTrack; }
    POINT GetMaxTrackSize() const { return m_maxTrack; }

    bool ProcessMinMaxTrackSizeMessage(HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result)
    {
        if (message != WM_GETMINMAXINFO || lParam == 0) {
            return false;
        }
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (m_minTrack.x != -1 && m_minTrack.y != -1) {
            info->ptMinTrackSize = m_minTrack;
        }
        if (m_maxTrack.x != -1 && m_maxTrack.y != -1) {
            info->ptMaxTrackSize = m_maxTrack;
        }
        result = 0;
        return true;
    }

private:
    POINT m_minTrack = {-1, -1};
    POINT m_maxTrack = {-1, -1};
};
