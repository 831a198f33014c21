#include "FormPlugin.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

// Track bar positions are ints; a device's maximum beyond that is cut.
constexpr uint32_t kLargestTop = INT_MAX;

void SetRange(HWND bar, uint32_t top, uint32_t tickEvery)
{
    ::SendMessageW(bar, TBM_SETRANGEMIN, FALSE, 0);
    ::SendMessageW(bar, TBM_SETRANGEMAX, TRUE, static_cast<LPARAM>(top));
    ::SendMessageW(bar, TBM_SETTICFREQ, std::max<uint32_t>(tickEvery, 1), 0);
    ::SendMessageW(bar, TBM_SETPOS, TRUE, 0);
}

} // namespace

LRESULT FormPlugin::OnInitForm()
{
    KorvelDevice* device = Device();
    m_maxDelay = device != nullptr ? ReadMaxDelay(*device) : DEFAULT_MAX_DELAY_MS;
    SetRange(GetDlgItem(IDC_PLUGIN_DELAY), m_maxDelay, m_maxDelay / 10);
    SetRange(GetDlgItem(IDC_PLUGIN_AMPLIFICATION), MAX_AMPLIFICATION, 100);
    return 0;
}

void FormPlugin::RefreshForm()
{
    KorvelDevice* device = Device();
    if (device == nullptr) {
        return;
    }
    FillChannelPairs(*device);
    ShowValue(*device, KORVEL_ECHO_DELAY);
    ShowValue(*device, KORVEL_ECHO_AMPLIFICATION);
}

bool FormPlugin::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_PLUGIN_CHANNELS &&
        HIWORD(wParam) == CBN_SELCHANGE) {
        if (KorvelDevice* device = Device()) {
            ShowValue(*device, KORVEL_ECHO_DELAY);
            ShowValue(*device, KORVEL_ECHO_AMPLIFICATION);
        }
        result = 0;
        return true;
    }
    if (message == WM_VSCROLL && lParam != 0) {
        OnTrackBarScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        result = 0;
        return true;
    }
    return FormBaseImpl<FormPlugin>::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}

void FormPlugin::FillChannelPairs(KorvelDevice& device)
{
    uint32_t channels = 0;
    if (!ReadSingle(device, KORVEL_ECHO_OUTPUT_CHANNELS, channels)) {
        return;
    }
    channels = std::min(channels, MAX_CHANNELS);
    HWND list = GetDlgItem(IDC_PLUGIN_CHANNELS);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (uint32_t k = 1; k + 1 <= channels; k += 2) {
        wchar_t text[32];
        swprintf(text, 32, L"Channel %02u/%02u", k, k + 1);
        const LRESULT item = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (item >= 0) {
            ::SendMessageW(list, CB_SETITEMDATA, item, k - 1);
        }
    }
    ::SendMessageW(list, CB_SETCURSEL, 0, 0);
}

bool FormPlugin::SelectedChannel(uint32_t& channel) const
{
    HWND list = GetDlgItem(IDC_PLUGIN_CHANNELS);
    const LRESULT item = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (item < 0) {
        return false;
    }
    channel = static_cast<uint32_t>(::SendMessageW(list, CB_GETITEMDATA, item, 0));
    return true;
}

void FormPlugin::ShowValue(KorvelDevice& device, uint32_t selector)
{
    uint32_t channel = 0;
    uint32_t value = 0;
    if (!SelectedChannel(channel) || !ReadPair(device, selector, channel, value)) {
        return;
    }
    // The top of the bar is the largest value; a value beyond it (a device
    // that breaks its own limit) puts the thumb at the top.
    const uint32_t top = TopOf(selector);
    ::SendMessageW(BarOf(selector), TBM_SETPOS, TRUE, static_cast<LPARAM>(top - std::min(value, top)));
    wchar_t text[32];
    if (selector == KORVEL_ECHO_DELAY) {
        swprintf(text, 32, L"%u ms", value);
        SetDlgItemText(IDC_PLUGIN_DELAY_VALUE, text);
    } else {
        swprintf(text, 32, L"%u.%02u", value / 1000, (value % 1000) / 10);
        SetDlgItemText(IDC_PLUGIN_AMPLIFICATION_VALUE, text);
    }
}

void FormPlugin::OnTrackBarScroll(HWND bar, int code)
{
    if (code < SB_LINEUP || code > SB_THUMBTRACK) {
        return; // top, bottom and end of scroll change nothing
    }
    uint32_t selector = 0;
    if (bar == BarOf(KORVEL_ECHO_DELAY)) {
        selector = KORVEL_ECHO_DELAY;
    } else if (bar == BarOf(KORVEL_ECHO_AMPLIFICATION)) {
        selector = KORVEL_ECHO_AMPLIFICATION;
    } else {
        return;
    }
    KorvelDevice* device = Device();
    uint32_t channel = 0;
    if (device == nullptr || !SelectedChannel(channel)) {
        return;
    }
    const uint32_t top = TopOf(selector);
    const LRESULT position =
        std::clamp<LRESULT>(::SendMessageW(bar, TBM_GETPOS, 0, 0), 0, static_cast<LRESULT>(top));
    const uint32_t value = top - static_cast<uint32_t>(position);
    WritePair(*device, selector, channel, value);
    ShowValue(*device, selector);
}

HWND FormPlugin::BarOf(uint32_t selector) const
{
    return GetDlgItem(selector == KORVEL_ECHO_DELAY ? IDC_PLUGIN_DELAY : IDC_PLUGIN_AMPLIFICATION);
}

uint32_t FormPlugin::TopOf(uint32_t selector) const
{
    return selector == KORVEL_ECHO_DELAY ? m_maxDelay : MAX_AMPLIFICATION;
}

uint32_t FormPlugin::ReadMaxDelay(KorvelDevice& device)
{
    uint32_t maxDelay = 0;
    if (!ReadSingle(device, KORVEL_ECHO_MAX_DELAY, maxDelay)) {
        return DEFAULT_MAX_DELAY_MS;
    }
    return std::min(maxDelay, kLargestTop);
}

bool FormPlugin::ReadSingle(KorvelDevice& device, uint32_t selector, uint32_t& value)
{
    KorvelEchoRecord block{};
    block.selector = selector;
    if (device.GetEcho(block) != 0) {
        return false;
    }
    value = block.value;
    return true;
}

bool FormPlugin::ReadPair(KorvelDevice& device, uint32_t selector, uint32_t channel, uint32_t& value)
{
    KorvelEchoRecord block{};
    block.selector = selector;
    block.value = 1;
    block.pairs[0].channel = channel;
    if (device.GetEcho(block) != 0) {
        return false;
    }
    value = block.pairs[0].value;
    return true;
}

void FormPlugin::WritePair(KorvelDevice& device, uint32_t selector, uint32_t channel, uint32_t value)
{
    KorvelEchoRecord block{};
    block.selector = selector;
    block.value = 2;
    block.pairs[0] = {channel, value};
    block.pairs[1] = {channel + 1, value};
    // A refused write shows when the value is read back.
    device.SetEcho(block);
}
