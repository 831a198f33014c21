#include "MixerValueScale.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

void MixerValueScale::SetUpSlider(HWND slider)
{
    ::SendMessageW(slider, TBM_SETRANGEMIN, FALSE, 0);
    ::SendMessageW(slider, TBM_SETRANGEMAX, TRUE, SLIDER_MAX);
    ::SendMessageW(slider, TBM_SETLINESIZE, 0, SLIDER_LINE);
    ::SendMessageW(slider, TBM_SETPAGESIZE, 0, SLIDER_PAGE);
}

int MixerValueScale::SliderFromValue(int value)
{
    if (value > VALUE_TOP) {
        return 0;
    }
    if (value < VALUE_BOTTOM) {
        return SLIDER_MAX;
    }
    return VALUE_TOP - value;
}

int16_t MixerValueScale::ValueFromSlider(int position)
{
    if (position < 0) {
        return VALUE_TOP;
    }
    if (position > SLIDER_MAX) {
        return VALUE_BOTTOM;
    }
    return static_cast<int16_t>(VALUE_TOP - position);
}

int MixerValueScale::MeterFromLevel(int level)
{
    if (level < -METER_MAX) {
        return 0;
    }
    if (level > 0) {
        return METER_MAX;
    }
    return level + METER_MAX;
}

std::wstring MixerValueScale::GainText(int16_t gain, bool muted)
{
    if (muted) {
        return L"M";
    }
    return std::to_wstring(gain / 100);
}

std::wstring MixerValueScale::CellText(int16_t weight, bool connected)
{
    if (!connected) {
        return L"x";
    }
    return std::to_wstring(weight / 100);
}

std::wstring MixerValueScale::EditorText(int16_t weight)
{
    const int magnitude = std::abs(static_cast<int>(weight));
    wchar_t text[16];
    std::swprintf(text, 16, L"%s%i.%02i", weight < 0 ? L"-" : L"", magnitude / 100,
                  magnitude % 100);
    return text;
}
