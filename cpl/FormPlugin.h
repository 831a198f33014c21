#pragma once
// The echo effect page of one device: a list of output channel pairs and two
// vertical track bars, delay and amplification, whose top is the largest
// value. Every change is written for both channels of the selected pair.
#include "FormBaseImpl.h"
#include "KorvelCplClient.h"
#include "KorvelEchoRecord.h"
#include "resource.h"

#include <cstdint>

class FormPlugin : public FormBaseImpl<FormPlugin>
{
public:
    static constexpr int IDD = IDD_FORM_PLUGIN;
    // Used when the device does not tell its maximum delay.
    static constexpr uint32_t DEFAULT_MAX_DELAY_MS = 100;
    static constexpr uint32_t MAX_AMPLIFICATION = 1000; // thousandths
    // At most as many channels as one parameter block can name: a device
    // reporting more gets a list of that many pairs, not billions.
    static constexpr uint32_t MAX_CHANNELS = 2 * KORVEL_ECHO_MAX_PAIRS;

    FormPlugin(KorvelCplClient& client, HWND frame, uint32_t keyWord0, uint32_t keyWord1)
        : m_client(client), m_frame(frame), m_keyWord0(keyWord0), m_keyWord1(keyWord1)
    {
    }

    LRESULT OnInitForm() override;
    void RefreshForm() override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    uint32_t MaxDelay() const { return m_maxDelay; }

private:
    KorvelDevice* Device() const { return m_client.FindDevice(m_keyWord0, m_keyWord1); }

    void FillChannelPairs(KorvelDevice& device);
    // The first channel of the selected pair; false when none is selected.
    bool SelectedChannel(uint32_t& channel) const;
    // Reads the value of `selector` for the selected pair and shows it.
    void ShowValue(KorvelDevice& device, uint32_t selector);
    void OnTrackBarScroll(HWND bar, int code);

    static uint32_t ReadMaxDelay(KorvelDevice& device);
    static bool ReadSingle(KorvelDevice& device, uint32_t selector, uint32_t& value);
    static bool ReadPair(KorvelDevice& device, uint32_t selector, uint32_t channel, uint32_t& value);
    static void WritePair(KorvelDevice& device, uint32_t selector, uint32_t channel, uint32_t value);

    // The bar of `selector` and its range top: positions count down from it.
    HWND BarOf(uint32_t selector) const;
    uint32_t TopOf(uint32_t selector) const;

    KorvelCplClient& m_client;
    HWND m_frame;
    uint32_t m_keyWord0;
    uint32_t m_keyWord1;
    uint32_t m_maxDelay = DEFAULT_MAX_DELAY_MS;
};
