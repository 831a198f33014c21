#pragma once
// One output column of a mixer window: two faders with their gain texts,
// two level meters with a dB scale between them, "Link", "M" (mute), "0dB"
// and the pair's label. The strip works on two entries of the window's
// gain list and two of its output level list; every change it makes is
// written one entry per request, the left entry first.
//
// A double click on a fader sets it to 0 dB: with "Link" on both channels,
// as "0dB" does; with "Link" off only that fader's channel, since the user
// unlinked the pair to set the channels apart.
#include "FormBaseImpl.h"
#include "KorvelCplClient.h"
#include "KorvelMixerRecords.h"
#include "MixerFaderScale.h"
#include "WtlDoubleClick.h"
#include "WtlLevelMeter.h"
#include "WtlToolTip.h"
#include "resource.h"

#include <string>

class FormStereoOutputCtrl : public FormBaseImpl<FormStereoOutputCtrl>,
                             public WtlToolTip<FormStereoOutputCtrl>
{
public:
    static constexpr int IDD = IDD_FORM_STEREOOUTPUTCTRL;
    // A bare column of the mixer window, without the pages' edge.
    static constexpr bool CLIENT_EDGE = false;

    FormStereoOutputCtrl(KorvelCplClient& client, KorvelDeviceKey key, const std::wstring& label,
                         KorvelMixerGain* leftGain, KorvelMixerGain* rightGain,
                         const KorvelMixerLevel* leftLevel, const KorvelMixerLevel* rightLevel)
        : m_client(client), m_key(key), m_label(label), m_leftGain(leftGain),
          m_rightGain(rightGain), m_leftLevel(leftLevel), m_rightLevel(rightLevel)
    {
    }

    LRESULT OnInitForm() override;
    void RefreshForm() override { ShowGains(); }
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // After a successful gain request: faders, texts, flags and check boxes
    // from the two entries; the faders are enabled only when not muted.
    void ShowGains();
    // After a failed one: both faders at the top, both texts "n/a".
    void ShowGainFailure();
    void ShowLevels();
    void DropLevels();

    bool IsLinked() const { return m_link; }
    bool IsMuted() const { return m_mute; }
    const WtlLevelMeter& Meter(bool left) const { return left ? m_leftMeter : m_rightMeter; }
    const MixerFaderScale& Scale() const { return m_scale; }

private:
    KorvelDevice* Device() const { return m_client.FindDevice(m_key.word0, m_key.word1); }
    HWND Fader(bool left) const
    {
        return GetDlgItem(left ? IDC_STRIP_FADER_LEFT : IDC_STRIP_FADER_RIGHT);
    }
    int16_t FaderGain(bool left) const;
    void SetFader(bool left, int16_t gain);
    void ShowGainTexts();
    void EnableFaders();
    // Writes the left entry, then the right one, each in a request of its own.
    void WriteGains(bool left, bool right);

    void OnFaderMoved(HWND fader, int code);
    void OnLinkClicked();
    void OnMuteClicked();
    void OnZeroDbClicked();
    void OnFaderDoubleClicked(bool left);

    // Sees the faders' presses before the track bars do.
    static LRESULT CALLBACK FaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);
    // True when the press was the second of a double click, which is then handled.
    bool OnFaderPress(bool left, UINT message, LPARAM lParam);

    KorvelCplClient& m_client;
    KorvelDeviceKey m_key;
    std::wstring m_label;
    KorvelMixerGain* m_leftGain;
    KorvelMixerGain* m_rightGain;
    const KorvelMixerLevel* m_leftLevel;
    const KorvelMixerLevel* m_rightLevel;
    bool m_link = true;
    bool m_mute = false;
    WtlLevelMeter m_leftMeter;
    WtlLevelMeter m_rightMeter;
    MixerFaderScale m_scale;
    WtlDoubleClick m_leftClicks;
    WtlDoubleClick m_rightClicks;
};
