#pragma once
// The sample-rate page: the rates the driver supports, the current one
// selected, a note while the driver runs a DSD rate, and "Apply", which asks
// the device control service for the selected rate. DSD rates are chosen by
// an ASIO host switching to DSD, never here.
#include "FormBaseImpl.h"
#include "FormDropDownList.h"
#include "KorvelCplClient.h"
#include "resource.h"

#include <cstdint>
#include <string>

class FormSampleRate : public FormBaseImpl<FormSampleRate>
{
public:
    static constexpr int IDD = IDD_FORM_SAMPLERATE;

    explicit FormSampleRate(KorvelCplClient& client) : m_client(client) {}

    LRESULT OnInitForm() override;
    void RefreshForm() override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // "48.000 kHz" for 48000 Hz.
    static std::wstring RateText(uint32_t rate);
    static bool IsDsdRate(uint32_t rate);

private:
    void ApplyRate();
    void EnableControls(bool enable);

    KorvelCplClient& m_client;
    FormDropDownList m_rates;
};
