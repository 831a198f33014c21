#pragma once
// The mixer windows' value scales and texts. Gains, weights and levels are
// in hundredths of a dB. Faders and the weight editor's slider run from 0
// (top, +6.00 dB) to 6600 (bottom, -60.00 dB); meters from 0 (-60.00 dB
// and below) to 6000 (0 dB and above).
#include <windows.h>

#include <cstdint>
#include <string>

class MixerValueScale
{
public:
    static constexpr int SLIDER_MAX = 6600;
    static constexpr int METER_MAX = 6000;
    static constexpr int VALUE_TOP = 600;      // +6.00 dB at slider position 0
    static constexpr int VALUE_BOTTOM = -6000; // -60.00 dB at SLIDER_MAX
    // Arrow keys move a slider by half a dB, Page Up and Page Down by 6 dB.
    static constexpr int SLIDER_LINE = 50;
    static constexpr int SLIDER_PAGE = 600;

    // Sets a slider's range and its keyboard steps.
    static void SetUpSlider(HWND slider);

    static int SliderFromValue(int value);
    static int16_t ValueFromSlider(int position);
    static int MeterFromLevel(int level);

    // "M" when muted, else the whole dB truncated toward zero.
    static std::wstring GainText(int16_t gain, bool muted);
    // The whole dB truncated toward zero when connected, else "x".
    static std::wstring CellText(int16_t weight, bool connected);
    // "-12.50", "0.05": the weight editor's value.
    static std::wstring EditorText(int16_t weight);

    static constexpr const wchar_t* FAILURE_TEXT = L"n/a";
};
