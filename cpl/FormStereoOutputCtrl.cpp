#include "FormStereoOutputCtrl.h"

#include "MixerValueScale.h"

#include <commctrl.h>

namespace {

// Subclass ids of the two faders: the id says which one a message is for.
constexpr UINT_PTR LEFT_FADER_ID = 1;
constexpr UINT_PTR RIGHT_FADER_ID = 2;

bool EntryMuted(const KorvelMixerGain& entry)
{
    return (entry.flags & KORVEL_MIXER_GAIN_FLAG_MUTED) != 0;
}

void SetMuted(KorvelMixerGain& entry, bool muted)
{
    if (muted) {
        entry.flags |= KORVEL_MIXER_GAIN_FLAG_MUTED;
    } else {
        entry.flags &= static_cast<uint8_t>(~KORVEL_MIXER_GAIN_FLAG_MUTED);
    }
}

} // namespace

LRESULT FormStereoOutputCtrl::OnInitForm()
{
    SetDlgItemText(IDC_STRIP_LABEL, m_label.c_str());
    for (bool left : {true, false}) {
        MixerValueScale::SetUpSlider(Fader(left));
        ::SetWindowSubclass(Fader(left), FaderProc, left ? LEFT_FADER_ID : RIGHT_FADER_ID,
                            reinterpret_cast<DWORD_PTR>(this));
    }
    m_leftMeter.Attach(GetDlgItem(IDC_STRIP_METER_LEFT), MixerValueScale::METER_MAX);
    m_rightMeter.Attach(GetDlgItem(IDC_STRIP_METER_RIGHT), MixerValueScale::METER_MAX);
    // Both faders have the same height and track: one scale serves both.
    m_scale.Attach(GetDlgItem(IDC_STRIP_SCALE), Fader(true));
    ::CheckDlgButton(m_hWnd, IDC_STRIP_LINK, m_link ? BST_CHECKED : BST_UNCHECKED);
    if (CreateToolTip()) {
        AddTool(GetDlgItem(IDC_STRIP_LINK), L"Link L and R");
        AddTool(GetDlgItem(IDC_STRIP_MUTE), L"Mute");
        AddTool(GetDlgItem(IDC_STRIP_ZERO_DB), L"Set gain to 0dB");
    }
    return 0;
}

bool FormStereoOutputCtrl::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam, LRESULT& result)
{
    ProcessToolTipMessage(hwnd, message, wParam, lParam, result);
    if (message == WM_VSCROLL && lParam != 0) {
        OnFaderMoved(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        result = 0;
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_STRIP_LINK:
            OnLinkClicked();
            break;
        case IDC_STRIP_MUTE:
            OnMuteClicked();
            break;
        case IDC_STRIP_ZERO_DB:
            OnZeroDbClicked();
            break;
        default:
            return FormBaseImpl::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
        }
        result = 0;
        return true;
    }
    return FormBaseImpl::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}

void FormStereoOutputCtrl::ShowGains()
{
    SetFader(true, m_leftGain->gain);
    SetFader(false, m_rightGain->gain);
    ShowGainTexts();
    m_mute = EntryMuted(*m_leftGain) || EntryMuted(*m_rightGain);
    ::CheckDlgButton(m_hWnd, IDC_STRIP_LINK, m_link ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_STRIP_MUTE, m_mute ? BST_CHECKED : BST_UNCHECKED);
    EnableFaders();
}

void FormStereoOutputCtrl::ShowGainFailure()
{
    for (bool left : {true, false}) {
        ::SendMessageW(Fader(left), TBM_SETPOS, TRUE, 0);
    }
    SetDlgItemText(IDC_STRIP_GAIN_LEFT, MixerValueScale::FAILURE_TEXT);
    SetDlgItemText(IDC_STRIP_GAIN_RIGHT, MixerValueScale::FAILURE_TEXT);
}

void FormStereoOutputCtrl::ShowLevels()
{
    m_leftMeter.SetPosition(MixerValueScale::MeterFromLevel(m_leftLevel->level));
    m_rightMeter.SetPosition(MixerValueScale::MeterFromLevel(m_rightLevel->level));
}

void FormStereoOutputCtrl::DropLevels()
{
    m_leftMeter.SetPosition(0);
    m_rightMeter.SetPosition(0);
}

int16_t FormStereoOutputCtrl::FaderGain(bool left) const
{
    const auto position = static_cast<int>(::SendMessageW(Fader(left), TBM_GETPOS, 0, 0));
    return MixerValueScale::ValueFromSlider(position);
}

void FormStereoOutputCtrl::SetFader(bool left, int16_t gain)
{
    ::SendMessageW(Fader(left), TBM_SETPOS, TRUE, MixerValueScale::SliderFromValue(gain));
}

void FormStereoOutputCtrl::ShowGainTexts()
{
    SetDlgItemText(IDC_STRIP_GAIN_LEFT,
                   MixerValueScale::GainText(m_leftGain->gain, EntryMuted(*m_leftGain)).c_str());
    SetDlgItemText(IDC_STRIP_GAIN_RIGHT,
                   MixerValueScale::GainText(m_rightGain->gain, EntryMuted(*m_rightGain)).c_str());
}

void FormStereoOutputCtrl::EnableFaders()
{
    for (bool left : {true, false}) {
        ::EnableWindow(Fader(left), m_mute ? FALSE : TRUE);
    }
}

void FormStereoOutputCtrl::WriteGains(bool left, bool right)
{
    KorvelDevice* device = Device();
    if (device == nullptr) {
        return;
    }
    // Written on copies: the entries keep what the panel set even when a
    // refusal comes back; the next gain notification shows the driver's.
    if (left) {
        KorvelMixerGain entry = *m_leftGain;
        (void)device->SetMixerOutputGains(&entry, 1);
    }
    if (right) {
        KorvelMixerGain entry = *m_rightGain;
        (void)device->SetMixerOutputGains(&entry, 1);
    }
}

void FormStereoOutputCtrl::OnFaderMoved(HWND fader, int code)
{
    if (code < SB_LINEUP || code > SB_THUMBTRACK) {
        return; // top, bottom and end of scroll change nothing
    }
    const bool left = fader == Fader(true);
    if (!left && fader != Fader(false)) {
        return;
    }
    const int16_t gain = FaderGain(left);
    if (m_link) {
        SetFader(!left, gain);
        m_leftGain->gain = gain;
        m_rightGain->gain = gain;
        WriteGains(true, true);
    } else {
        (left ? m_leftGain : m_rightGain)->gain = gain;
        WriteGains(left, !left);
    }
    ShowGainTexts();
}

void FormStereoOutputCtrl::OnLinkClicked()
{
    m_link = ::IsDlgButtonChecked(m_hWnd, IDC_STRIP_LINK) == BST_CHECKED;
    m_mute = ::IsDlgButtonChecked(m_hWnd, IDC_STRIP_MUTE) == BST_CHECKED;
    if (!m_link) {
        return;
    }
    const auto gain = static_cast<int16_t>((FaderGain(true) + FaderGain(false)) / 2);
    SetFader(true, gain);
    SetFader(false, gain);
    m_leftGain->gain = gain;
    m_rightGain->gain = gain;
    WriteGains(true, true);
    ShowGainTexts();
}

void FormStereoOutputCtrl::OnMuteClicked()
{
    m_mute = ::IsDlgButtonChecked(m_hWnd, IDC_STRIP_MUTE) == BST_CHECKED;
    SetMuted(*m_leftGain, m_mute);
    SetMuted(*m_rightGain, m_mute);
    EnableFaders();
    WriteGains(true, true);
    ShowGainTexts();
}

void FormStereoOutputCtrl::OnZeroDbClicked()
{
    m_leftGain->gain = 0;
    m_rightGain->gain = 0;
    WriteGains(true, true);
    ShowGains();
}

void FormStereoOutputCtrl::OnFaderDoubleClicked(bool left)
{
    if (m_link) {
        OnZeroDbClicked();
        return;
    }
    (left ? m_leftGain : m_rightGain)->gain = 0;
    SetFader(left, 0);
    WriteGains(left, !left);
    ShowGainTexts();
}

bool FormStereoOutputCtrl::OnFaderPress(bool left, UINT message, LPARAM lParam)
{
    WtlDoubleClick& clicks = left ? m_leftClicks : m_rightClicks;
    if (message == WM_LBUTTONDBLCLK) {
        clicks.Reset();
    } else {
        const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!clicks.Press(static_cast<DWORD>(::GetMessageTime()), point)) {
            return false;
        }
    }
    OnFaderDoubleClicked(left);
    return true;
}

LRESULT CALLBACK FormStereoOutputCtrl::FaderProc(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    auto* strip = reinterpret_cast<FormStereoOutputCtrl*>(data);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // The second press is kept from the track bar: it would page the
        // thumb away from the 0 dB just set.
        if (strip->OnFaderPress(id == LEFT_FADER_ID, message, lParam)) {
            return 0;
        }
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, FaderProc, id);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
