#include "FormSampleRate.h"

#include "WtlWaitCursor.h"
#include "KorvelRecords.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const wchar_t* kDsdRefusal = L"Changing to this the sample rate prohibited.\n"
                                       L"It sample rate can be installed only from ASIO host for DSD mode.";

} // namespace

LRESULT FormSampleRate::OnInitForm()
{
    m_rates = FormDropDownList(GetDlgItem(IDC_SAMPLERATE_LIST));
    return 0;
}

std::wstring FormSampleRate::RateText(uint32_t rate)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%u.%03u kHz", rate / 1000, rate % 1000);
    return text;
}

// Every rate from 2822400 Hz on is a DSD rate: 64, 128 and 256 times 44100.
bool FormSampleRate::IsDsdRate(uint32_t rate)
{
    return rate >= KORVEL_DSD_MIN_SAMPLE_RATE;
}

void FormSampleRate::RefreshForm()
{
    KorvelSampleRates rates{};
    if (!m_client.IsOpen() || m_client.GetSampleRates(rates) != 0) {
        m_rates.Reset();
        EnableControls(false);
        return;
    }
    m_rates.Reset();
    const uint32_t count = std::min<uint32_t>(rates.count, KORVEL_MAX_SAMPLE_RATES);
    for (uint32_t i = 0; i < count; ++i) {
        m_rates.Add(RateText(rates.rates[i]).c_str(), rates.rates[i]);
    }
    EnableControls(true);
    m_rates.SelectText(RateText(rates.currentRate).c_str());
    ::ShowWindow(GetDlgItem(IDC_SAMPLERATE_DSD), IsDsdRate(rates.currentRate) ? SW_SHOW : SW_HIDE);
}

bool FormSampleRate::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          LRESULT& result)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_SAMPLERATE_APPLY &&
        HIWORD(wParam) == BN_CLICKED) {
        ApplyRate();
        result = 0;
        return true;
    }
    return FormBaseImpl<FormSampleRate>::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}

void FormSampleRate::ApplyRate()
{
    uint32_t rate = 0;
    if (!m_client.IsOpen() || !m_rates.SelectedValue(rate)) {
        return;
    }
    bool alive = true;
    if (IsDsdRate(rate)) {
        alive = ShowWarningBox(kDsdRefusal);
    } else if (const DWORD status =
                   WtlWaitCursor::During([&] { return m_client.SetSampleRate(rate); });
               status != 0) {
        alive = ShowErrorBox(L"Changing the sample rate failed.", status);
    }
    if (alive) {
        RefreshForm();
    }
}

void FormSampleRate::EnableControls(bool enable)
{
    FormDropDownList::EnableControls(m_hWnd, {IDC_SAMPLERATE_LIST, IDC_SAMPLERATE_APPLY}, enable);
}
