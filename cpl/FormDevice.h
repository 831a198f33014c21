#pragma once
// The page of one connected device: its port and streaming state, the
// state of its SPDIF input, SPDIF pass-through, volume bypass, the buttons
// of its two mixer windows and the policy bit that forbids sample rate
// changes.
#include "FormBaseImpl.h"
#include "FormMixer.h"
#include "KorvelCplClient.h"
#include "KorvelRecords.h"
#include "resource.h"

#include <cstdint>
#include <string>

class FormDevice : public FormBaseImpl<FormDevice>
{
public:
    static constexpr int IDD = IDD_FORM_DEVICE;

    // The mixer windows may be null: their buttons then do nothing.
    FormDevice(KorvelCplClient& client, HWND frame, uint32_t keyWord0, uint32_t keyWord1,
               FormMixer* inputMixer, FormMixer* outputMixer)
        : m_client(client),
          m_frame(frame),
          m_keyWord0(keyWord0),
          m_keyWord1(keyWord1),
          m_inputMixer(inputMixer),
          m_outputMixer(outputMixer)
    {
    }

    LRESULT OnInitForm() override;
    void RefreshForm() override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // The device's mixer windows (hardware inputs, software outputs); null when none.
    FormMixer* InputMixer() const { return m_inputMixer; }
    FormMixer* OutputMixer() const { return m_outputMixer; }

    // The SPDIF text of an answered status record.
    static std::wstring SpdifText(const KorvelSpdifInputStatus& status);
    // The serial number of a device list entry.
    static std::wstring SerialText(const KorvelDeviceInfo& info);
    // The status line of the device info text.
    static const wchar_t* StatusLine(uint32_t deviceFlags);

private:
    KorvelDevice* Device() const { return m_client.FindDevice(m_keyWord0, m_keyWord1); }
    void ReadDeviceState(KorvelDevice& device);
    void ReadSpdifText(KorvelDevice& device);
    // Moves the texts and flags into the controls, or (save) the check
    // boxes into the flags.
    void Exchange(bool save);
    void OnCheckBoxClicked(int id);
    DWORD SetPolicyBit(bool forbid);
    void ShowMixer(FormMixer* mixer);

    KorvelCplClient& m_client;
    HWND m_frame;
    uint32_t m_keyWord0;
    uint32_t m_keyWord1;
    FormMixer* m_inputMixer;
    FormMixer* m_outputMixer;
    std::wstring m_spdifText;
    std::wstring m_deviceInfo;
    bool m_passThrough = false;
    bool m_volumeBypass = false;
    bool m_forbidRateChange = false;
};
