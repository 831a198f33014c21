#pragma once

#include "WtlMemoryBitmap.h"
#include "WtlWindow.h"

#include <cstdint>
#include <functional>

// A level meter on a progress-bar control of a dialog template. The control
// keeps its range and position (PBM_GETPOS answers as usual); the meter
// paints it itself: the whole client area into a memory bitmap kept between
// paints, then one copy to the screen, and no background erase. Meters set
// fifty times a second so never show the empty bar between erase and paint,
// and a position that did not change repaints nothing.
//
// Vertical bars (PBS_VERTICAL) fill from the bottom, horizontal ones from
// the left; the top tenth of the range is drawn yellow, the top
// hundred-and-twentieth red, so that the last decibels stand out.
//
// Two marks help a musician who looks away for a moment: a peak-hold line
// at the highest position of the last HOLD_MS, and a clip block at the far
// end of the bar that lights when the position reaches the maximum and
// stays lit until the meter is clicked.
class WtlLevelMeter : public WtlWindow
{
public:
    // Milliseconds since an arbitrary start; GetTickCount64 unless a test
    // sets its own.
    using Clock = std::function<uint64_t()>;

    WtlLevelMeter() = default;
    ~WtlLevelMeter();
    WtlLevelMeter(const WtlLevelMeter&) = delete;
    WtlLevelMeter& operator=(const WtlLevelMeter&) = delete;

    // Takes over the painting of `progress` and sets its range 0..maximum
    // at position 0. False when `progress` is null.
    bool Attach(HWND progress, int maximum);
    // Clamped to the range; repaints only when the bar, the peak line or
    // the clip block changes.
    void SetPosition(int position);
    int GetPosition() const { return m_position; }
    int GetMaximum() const { return m_maximum; }
    int GetPeak() const { return m_peak; }
    bool IsClipped() const { return m_clipped; }
    void ClearClip();
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    // The bitmap painted into, for tests that check it is kept.
    HBITMAP CacheBitmap() const { return m_cache.Bitmap(); }

    static constexpr uint64_t HOLD_MS = 1500;
    // At 96 DPI, scaled to the control's.
    static constexpr int PEAK_LINE_PX = 2;
    static constexpr int CLIP_BLOCK_PX = 4;

    static constexpr COLORREF BackColor = RGB(24, 24, 24);
    static constexpr COLORREF LowColor = RGB(0, 200, 0);
    static constexpr COLORREF HighColor = RGB(255, 220, 0);
    static constexpr COLORREF PeakColor = RGB(255, 0, 0);
    static constexpr COLORREF PeakLineColor = RGB(235, 235, 235);
    static constexpr COLORREF ClipColor = RGB(255, 48, 48);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void ScaleMarks();
    uint64_t Now() const;
    // Holds a new high for HOLD_MS, then falls back to the position. True
    // when the peak moved.
    bool UpdatePeak(uint64_t now);
    void Paint(HDC target);
    void PaintBar(HDC hdc, const RECT& client, bool vertical);
    void PaintMarks(HDC hdc, const RECT& client, bool vertical);
    // The strip of the bar from `from` to `to` pixels along it, measured
    // from its start (the bottom of a vertical bar).
    static RECT Span(const RECT& client, bool vertical, int from, int to);
    int Extent(int position, int length) const;
    void Detach();

    int m_position = 0;
    int m_maximum = 1;
    int m_peak = 0;
    uint64_t m_peakSince = 0;
    bool m_clipped = false;
    int m_peakLinePx = PEAK_LINE_PX;
    int m_clipBlockPx = CLIP_BLOCK_PX;
    Clock m_clock;
    WtlMemoryBitmap m_cache;
};
