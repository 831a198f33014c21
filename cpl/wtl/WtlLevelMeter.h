#pragma once

#include "WtlWindow.h"

// A level meter on a progress-bar control of a dialog template. The control
// keeps its range and position (PBM_GETPOS answers as usual); the meter
// paints it itself: the whole client area into a memory bitmap, then one
// copy to the screen, and no background erase. Meters set fifty times a
// second so never show the empty bar between erase and paint, and a
// position that did not change repaints nothing.
//
// Vertical bars (PBS_VERTICAL) fill from the bottom, horizontal ones from
// the left; the top tenth of the range is drawn yellow, the top
// hundred-and-twentieth red, so that the last decibels stand out.
class WtlLevelMeter : public WtlWindow
{
public:
    WtlLevelMeter() = default;
    ~WtlLevelMeter();
    WtlLevelMeter(const WtlLevelMeter&) = delete;
    WtlLevelMeter& operator=(const WtlLevelMeter&) = delete;

    // Takes over the painting of `progress` and sets its range 0..maximum
    // at position 0. False when `progress` is null.
    bool Attach(HWND progress, int maximum);
    // Clamped to the range; unchanged positions do not repaint.
    void SetPosition(int position);
    int GetPosition() const { return m_position; }
    int GetMaximum() const { return m_maximum; }

    static constexpr COLORREF BackColor = RGB(24, 24, 24);
    static constexpr COLORREF LowColor = RGB(0, 200, 0);
    static constexpr COLORREF HighColor = RGB(255, 220, 0);
    static constexpr COLORREF PeakColor = RGB(255, 0, 0);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void Paint(HDC target) const;
    void Detach();

    int m_position = 0;
    int m_maximum = 1;
};
