#include "FormDevice.h"

#include "KorvelStatus.h"
#include "WtlDataExchange.h"
#include "WtlWaitCursor.h"

#include <cstdio>
#include <cwchar>

LRESULT FormDevice::OnInitForm()
{
    RefreshForm();
    return 0;
}

std::wstring FormDevice::SerialText(const KorvelDeviceInfo& info)
{
    // The field is fixed-size and may come without a terminator.
    return std::wstring(info.serialNumber, ::wcsnlen(info.serialNumber, KORVEL_SERIAL_NUMBER_CHARS));
}

const wchar_t* FormDevice::StatusLine(uint32_t deviceFlags)
{
    // A device on a USB 1.1 port cannot stream whatever it is selected for.
    if ((deviceFlags & KORVEL_DEVICE_FLAG_HIGH_SPEED) == 0) {
        return L"Connected to USB 1.1 port. CANNOT stream audio!";
    }
    if ((deviceFlags & KORVEL_DEVICE_FLAG_STREAMING) != 0) {
        return L"This device is selected for streaming.";
    }
    return L"This device is not streaming.";
}

std::wstring FormDevice::SpdifText(const KorvelSpdifInputStatus& status)
{
    switch (status.lockState) {
    case KORVEL_SPDIF_LOCK_NOT_STREAMING:
        return L"Not Streaming";
    case KORVEL_SPDIF_LOCK_NO_SIGNAL:
        return L"No Signal";
    case KORVEL_SPDIF_LOCK_SYNCHRONIZING:
        return L"Synchronizing";
    case KORVEL_SPDIF_LOCK_LOCKED:
        break;
    default:
        return L"invalid State";
    }
    switch (status.format) {
    case KORVEL_SPDIF_FORMAT_UNKNOWN:
        return L"Locked (unknown Format)";
    case KORVEL_SPDIF_FORMAT_PCM: {
        wchar_t text[64];
        std::swprintf(text, 64, L"Locked (PCM %u Hz)", status.sampleRate);
        return text;
    }
    case KORVEL_SPDIF_FORMAT_NON_PCM:
        return L"Locked (Non-PCM)";
    default:
        return L"invalid Format";
    }
}

void FormDevice::RefreshForm()
{
    KorvelDevice* device = Device();
    if (device == nullptr) {
        m_spdifText.clear();
        m_deviceInfo.clear();
    } else {
        ReadDeviceState(*device);
    }
    Exchange(false);
}

void FormDevice::ReadDeviceState(KorvelDevice& device)
{
    const KorvelDeviceInfo& info = device.Info();
    m_deviceInfo = L"quillo\nSerial: " + SerialText(info) + L"\n\n" + StatusLine(info.flags);

    ReadSpdifText(device);
    bool passThrough = false;
    if (device.GetSpdifPassThrough(0, 0, passThrough) == 0) {
        m_passThrough = passThrough;
    }
    uint8_t bypass = 0;
    if (device.GetVolumeBypass(bypass) == 0) {
        m_volumeBypass = bypass != 0;
    }
    uint32_t policy = 0;
    if (m_client.GetPolicy(policy) == 0) {
        m_forbidRateChange = (policy & KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE) != 0;
    }
}

void FormDevice::ReadSpdifText(KorvelDevice& device)
{
    KorvelSpdifInputStatus status{};
    const DWORD result = device.GetSpdifInputStatus(0, status);
    if (result == 0) {
        m_spdifText = SpdifText(status);
    } else if (result == KORVEL_STATUS_OBJECT_NOT_FOUND) {
        m_spdifText = L"SPDIF not available";
    } else {
        m_spdifText.clear();
    }
}

void FormDevice::Exchange(bool save)
{
    if (!save) {
        WtlDataExchange::Text(m_hWnd, IDC_DEVICE_SPDIF_STATUS, m_spdifText, false);
        WtlDataExchange::Text(m_hWnd, IDC_DEVICE_INFO, m_deviceInfo, false);
    }
    WtlDataExchange::Check(m_hWnd, IDC_DEVICE_SPDIF_PASS_THROUGH, m_passThrough, save);
    WtlDataExchange::Check(m_hWnd, IDC_DEVICE_VOLUME_BYPASS, m_volumeBypass, save);
    WtlDataExchange::Check(m_hWnd, IDC_DEVICE_FORBID_RATE_CHANGE, m_forbidRateChange, save);
}

bool FormDevice::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        const int id = LOWORD(wParam);
        switch (id) {
        case IDC_DEVICE_SPDIF_PASS_THROUGH:
        case IDC_DEVICE_VOLUME_BYPASS:
        case IDC_DEVICE_FORBID_RATE_CHANGE:
            OnCheckBoxClicked(id);
            result = 0;
            return true;
        case IDC_DEVICE_INPUT_MIXER:
            ShowMixer(m_inputMixer);
            result = 0;
            return true;
        case IDC_DEVICE_OUTPUT_MIXER:
            ShowMixer(m_outputMixer);
            result = 0;
            return true;
        default:
            break;
        }
    }
    return FormBaseImpl<FormDevice>::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}

void FormDevice::OnCheckBoxClicked(int id)
{
    Exchange(true);
    KorvelDevice* device = Device();
    if (device == nullptr) {
        return;
    }
    DWORD status = 0;
    const wchar_t* failure = nullptr;
    bool* flag = nullptr;
    switch (id) {
    case IDC_DEVICE_SPDIF_PASS_THROUGH:
        status = device->SetSpdifPassThrough(0, 0, m_passThrough);
        failure = L"Set SPDIF pass through failed.";
        flag = &m_passThrough;
        break;
    case IDC_DEVICE_VOLUME_BYPASS:
        status = device->SetVolumeBypass(m_volumeBypass ? 1 : 0);
        failure = L"Set Bypass volume failed.";
        flag = &m_volumeBypass;
        break;
    default:
        status = SetPolicyBit(m_forbidRateChange);
        failure = L"Changing the policy failed.";
        flag = &m_forbidRateChange;
        break;
    }
    if (status != 0) {
        if (!ShowErrorBox(failure, status)) {
            return; // the device left while the box was open: the page is gone
        }
        *flag = false;
        Exchange(false);
    }
}

DWORD FormDevice::SetPolicyBit(bool forbid)
{
    // Every other bit goes back as the driver reported it.
    uint32_t policy = 0;
    if (m_client.GetPolicy(policy) != 0) {
        policy = 0;
    }
    if (forbid) {
        policy |= KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE;
    } else {
        policy &= ~KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE;
    }
    return WtlWaitCursor::During([&] { return m_client.SetPolicy(policy); });
}

void FormDevice::ShowMixer(FormMixer* mixer)
{
    if (mixer != nullptr) {
        mixer->Show();
    }
}
