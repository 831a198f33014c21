#pragma once
// The modal editor of one crosspoint weight: its value, a slider from
// +6.00 dB (top) to -60.00 dB (bottom) and "connected". Every change is
// written at once (one entry per request); "Close" ends the dialog.
#include "KorvelCplClient.h"
#include "KorvelRecords.h"
#include "WtlDialogImpl.h"
#include "resource.h"

class FormWeightCtrl : public WtlDialogImpl
{
public:
    static constexpr int IDD = IDD_FORM_WEIGHTCTRL;

    // `entry` is the weight entry to edit (the editor works on its own
    // copy); `topLeft` the screen position of the dialog's top-left corner.
    FormWeightCtrl(KorvelCplClient& client, KorvelDeviceKey key, const KorvelMixerWeight& entry,
                   POINT topLeft)
        : m_client(client), m_key(key), m_entry(entry), m_topLeft(topLeft)
    {
    }

    // Runs the editor modally over `owner`; the dialog's result.
    INT_PTR DoModal(HINSTANCE instance, HWND owner)
    {
        return WtlDialogImpl::DoModal(instance, IDD, owner);
    }

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // The entry as the editor last wrote it.
    const KorvelMixerWeight& Entry() const { return m_entry; }
    // The cell it edits for is going away (its window is torn down): the
    // editor ends and writes nothing more.
    void Abandon();

private:
    bool IsConnected() const { return (m_entry.flags & KORVEL_MIXER_WEIGHT_FLAG_CONNECTED) != 0; }
    void OnInitDialog();
    // Value text, slider position, check box and slider enabling from the entry.
    void ShowEntry();
    void OnSliderMoved(int code);
    void OnConnectedClicked();
    void WriteEntry();

    KorvelCplClient& m_client;
    KorvelDeviceKey m_key;
    KorvelMixerWeight m_entry;
    POINT m_topLeft;
    bool m_abandoned = false;
};
