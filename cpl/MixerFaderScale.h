#pragma once
// The dB scale beside a fader: "+6", "0", "-6" ... "-60" drawn at the
// heights where the fader's thumb centre stands for those gains, so that a
// musician reads the gain off the thumb. It paints a static control of the
// strip's template, in the strip's font and colours; the heights come from
// the fader's own channel and thumb, so they follow the font and the DPI
// the template was laid out with. The labels are set a fifth smaller than
// the strip's font: at the strip's size the 6 dB steps near the top would
// run into each other.
#include "WtlGdiOwners.h"
#include "WtlWindow.h"

#include <string>
#include <vector>

class MixerFaderScale : public WtlWindow
{
public:
    struct Mark
    {
        int value; // hundredths of a dB
        int y;     // the thumb centre's height, in the scale's client coordinates
    };

    // Gains labelled, from the top.
    static constexpr int VALUES[] = {600, 0, -600, -1200, -2400, -4000, -6000};

    MixerFaderScale() = default;
    ~MixerFaderScale();
    MixerFaderScale(const MixerFaderScale&) = delete;
    MixerFaderScale& operator=(const MixerFaderScale&) = delete;

    // Paints `scale` for the vertical track bar `fader` (a sibling).
    bool Attach(HWND scale, HWND fader);
    std::vector<Mark> Marks() const;
    // "+6", "0", "-12".
    static std::wstring Label(int value);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    // The thumb centre's height for `position`, in the fader's client coordinates.
    int ThumbCentre(int position) const;
    void Paint(HDC hdc) const;
    // The labels' font from the control's (the strip's) font.
    void MakeFont();
    void Detach();

    HWND m_fader = nullptr;
    WtlFont m_font;
};
