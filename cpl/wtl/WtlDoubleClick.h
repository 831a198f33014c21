#pragma once

#include <windows.h>

// Tells the second press of a double click from two single presses, for
// controls whose window class lacks CS_DBLCLKS: the track bar of some
// common-control versions (Wine's among them) gets every press as
// WM_LBUTTONDOWN. Two presses make a double click when they come within
// GetDoubleClickTime() of each other and inside the system's double-click
// rectangle, as the system decides for classes with CS_DBLCLKS.
class WtlDoubleClick
{
public:
    // A press at message time `time` and client point `point`: true when it
    // completes a double click. That press then starts none, so a third
    // quick press counts as a first one again.
    bool Press(DWORD time, POINT point);
    // The system reported a WM_LBUTTONDBLCLK itself: the pair is complete.
    void Reset() { m_armed = false; }

private:
    bool m_armed = false;
    DWORD m_time = 0;
    POINT m_point{};
};
