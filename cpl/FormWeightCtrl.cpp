#include "FormWeightCtrl.h"

#include "MixerValueScale.h"

#include <commctrl.h>

bool FormWeightCtrl::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam, LPARAM lParam,
                                          LRESULT& result)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        result = TRUE;
        return true;
    case WM_VSCROLL:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(IDC_WEIGHT_SLIDER)) {
            OnSliderMoved(LOWORD(wParam));
        }
        result = 0;
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_WEIGHT_CONNECTED && HIWORD(wParam) == BN_CLICKED) {
            OnConnectedClicked();
        } else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(LOWORD(wParam));
        }
        result = 0;
        return true;
    default:
        return false;
    }
}

void FormWeightCtrl::OnInitDialog()
{
    SetWindowPos(nullptr, m_topLeft.x, m_topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND slider = GetDlgItem(IDC_WEIGHT_SLIDER);
    MixerValueScale::SetUpSlider(slider);
    ::SendMessageW(slider, TBM_SETTICFREQ, 600, 0);
    ShowEntry();
}

void FormWeightCtrl::ShowEntry()
{
    SetDlgItemText(IDC_WEIGHT_VALUE, MixerValueScale::EditorText(m_entry.weight).c_str());
    HWND slider = GetDlgItem(IDC_WEIGHT_SLIDER);
    ::SendMessageW(slider, TBM_SETPOS, TRUE, MixerValueScale::SliderFromValue(m_entry.weight));
    ::CheckDlgButton(m_hWnd, IDC_WEIGHT_CONNECTED, IsConnected() ? BST_CHECKED : BST_UNCHECKED);
    ::EnableWindow(slider, IsConnected() ? TRUE : FALSE);
}

void FormWeightCtrl::OnSliderMoved(int code)
{
    if (code < SB_LINEUP || code > SB_THUMBTRACK) {
        return; // top, bottom and end of scroll change nothing
    }
    const auto position =
        static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_WEIGHT_SLIDER, TBM_GETPOS, 0, 0));
    m_entry.weight = MixerValueScale::ValueFromSlider(position);
    WriteEntry();
    SetDlgItemText(IDC_WEIGHT_VALUE, MixerValueScale::EditorText(m_entry.weight).c_str());
}

void FormWeightCtrl::OnConnectedClicked()
{
    if (::IsDlgButtonChecked(m_hWnd, IDC_WEIGHT_CONNECTED) == BST_CHECKED) {
        // A crosspoint that is switched on starts at unity gain.
        m_entry.flags |= KORVEL_MIXER_WEIGHT_FLAG_CONNECTED;
        m_entry.weight = 0;
    } else {
        m_entry.flags &= static_cast<uint8_t>(~KORVEL_MIXER_WEIGHT_FLAG_CONNECTED);
    }
    ShowEntry();
    WriteEntry();
}

void FormWeightCtrl::Abandon()
{
    m_abandoned = true;
    if (m_hWnd != nullptr) {
        EndDialog(IDCANCEL);
    }
}

void FormWeightCtrl::WriteEntry()
{
    KorvelDevice* device = m_client.FindDevice(m_key.word0, m_key.word1);
    if (device == nullptr || m_abandoned) {
        return;
    }
    // Written on a copy: a refusal is not reported, and the next weight
    // notification shows the driver's values.
    KorvelMixerWeight entry = m_entry;
    (void)device->SetMixerWeights(&entry, 1);
}
