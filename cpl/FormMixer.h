#pragma once
// A mixer window of one device: the "Hardware Inputs Mixer" (the device's
// hardware inputs feeding the mixer outputs) or the "Software Outputs
// Mixer" (the host's playback channels feeding them). One row per input
// pair with its meters, one column per output pair with faders, meters,
// mute, link and 0dB, and a crosspoint cell where each row meets each
// column.
//
// The window holds controls, entries, a level timer and two view
// connections only while it is shown: opening builds it from the pins the
// kernel driver reports, closing tears it all down again. All requests go
// to the device object of the window's key in the panel's shared client.
#include "FormMixerConnection.h"
#include "FormStaticText.h"
#include "FormStereoInputCtrl.h"
#include "FormStereoOutputCtrl.h"
#include "KorvelCplClient.h"
#include "KorvelDriver.h"
#include "KorvelMixerRecords.h"
#include "WtlDialogImpl.h"
#include "WtlGdiOwners.h"
#include "resource.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class FormMixer : public WtlDialogImpl
{
public:
    static constexpr int IDD = IDD_FORM_MIXER;
    static constexpr UINT_PTR TIMER_ID = 1112;
    static constexpr UINT TIMER_PERIOD_MS = 20;
    static constexpr uint32_t MAX_OUTPUT_PINS = KORVEL_MIXER_MAX_OUTPUT_PINS;
    static constexpr uint32_t MAX_INPUT_PINS = KORVEL_MIXER_MAX_INPUT_PINS;
    static constexpr uint32_t MAX_WEIGHTS = KORVEL_MIXER_MAX_WEIGHTS;
    static constexpr COLORREF HEADER_COLOR = RGB(255, 255, 0);
    static constexpr int BAR = 4;     // separator bars and gaps, pixels
    static constexpr int HEADER = 20; // header label rows, pixels

    // `hardwareInputs`: the hardware inputs mixer, else the software outputs mixer.
    FormMixer(KorvelCplClient& client, uint32_t keyWord0, uint32_t keyWord1, bool hardwareInputs);
    ~FormMixer() override;

    // Creates the (hidden, empty) window as a pop-up owned by `owner`.
    HWND CreateMixer(HINSTANCE instance, HWND owner);

    // The device page's button: a hidden window is built and shown, a shown
    // one is left as it is.
    void Show();
    // The device's pins changed: a shown window is built again.
    void Rebuild();
    // The gains or weights changed: the existing controls show the new values.
    void ReadGains();
    void ReadWeights();
    // Hides the window and tears it down.
    void Close();

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    bool IsHardwareInputs() const { return m_hardwareInputs; }
    uint32_t OutputPinCount() const { return m_outputPinCount; }
    uint32_t InputPinCount() const { return m_inputPinCount; }
    uint32_t OutputLevelCount() const { return m_outputLevelCount; }
    uint32_t InputLevelCount() const { return m_inputLevelCount; }
    uint32_t GainCount() const { return m_gainCount; }
    uint32_t WeightCount() const { return m_weightCount; }
    size_t ColumnCount() const { return m_outputStrips.size(); }
    size_t RowCount() const { return m_inputStrips.size(); }
    size_t CellCount() const { return m_cells.size(); }
    const std::vector<HWND>& HeaderLabels() const { return m_headers; }
    const std::vector<HWND>& Bars() const { return m_bars; }
    FormStereoOutputCtrl& OutputStrip(size_t column) { return *m_outputStrips.at(column); }
    FormStereoInputCtrl& InputStrip(size_t row) { return *m_inputStrips.at(row); }
    // The cell of output pair `column` and input pair `row`.
    FormMixerConnection& Cell(size_t column, size_t row)
    {
        return *m_cells.at(column * m_inputStrips.size() + row);
    }
    HWND NoPinsText() const { return m_noPins ? m_noPins->GetFormWindow() : nullptr; }
    bool IsTimerRunning() const { return m_timer != 0; }
    bool AreViewsOpen() const { return m_panelView.IsOpen() || m_mixerView.IsOpen(); }

    // A pair's label from its left pin and both channel indices.
    static std::wstring InputPairLabel(const KorvelMixerPin& left, const KorvelMixerPin& right);
    static std::wstring OutputPairLabel(const KorvelMixerPin& left, const KorvelMixerPin& right);

private:
    KorvelDevice* Device() const { return m_client.FindDevice(m_key.word0, m_key.word1); }
    void Build();
    void TearDown();
    void ReadPins(KorvelDevice& device);
    void ShowNoPins();
    void OpenViews();
    void BuildRows(SIZE strip);
    void BuildCells(SIZE strip, SIZE cell);
    void BuildColumns(SIZE strip, SIZE column);
    void AddHeader(const wchar_t* text, int x, int y, int width);
    void AddBar(int x, int y, int width, int height);
    // Client area just large enough for every child.
    void FitToChildren();
    void KeepInWorkArea();
    void OnTimer();
    bool IsHeader(HWND control) const;

    // Creates a child control of class Ctrl, placed at (x, y), or null.
    template <class Ctrl>
    Ctrl* AddChild(std::vector<std::unique_ptr<Ctrl>>& list, std::unique_ptr<Ctrl> ctrl, int x,
                   int y);
    // The size of a control of class Ctrl as its template makes it.
    template <class Ctrl> SIZE TemplateSize();

    KorvelCplClient& m_client;
    const KorvelDeviceKey m_key;
    const bool m_hardwareInputs;
    HINSTANCE m_instance = nullptr;

    std::array<KorvelMixerPin, MAX_OUTPUT_PINS> m_outputPins{};
    uint32_t m_outputPinCount = 0;
    std::array<KorvelMixerPin, MAX_INPUT_PINS> m_inputPins{};
    uint32_t m_inputPinCount = 0;
    std::array<KorvelMixerLevel, MAX_OUTPUT_PINS> m_outputLevels{};
    uint32_t m_outputLevelCount = 0;
    std::array<KorvelMixerLevel, MAX_INPUT_PINS> m_inputLevels{};
    uint32_t m_inputLevelCount = 0;
    std::array<KorvelMixerGain, MAX_OUTPUT_PINS> m_gains{};
    uint32_t m_gainCount = 0;
    std::array<KorvelMixerWeight, MAX_WEIGHTS> m_weights{};
    uint32_t m_weightCount = 0;

    std::vector<std::unique_ptr<FormStereoOutputCtrl>> m_outputStrips;
    std::vector<std::unique_ptr<FormStereoInputCtrl>> m_inputStrips;
    std::vector<std::unique_ptr<FormMixerConnection>> m_cells;
    std::vector<HWND> m_bars;
    std::vector<HWND> m_headers;
    std::unique_ptr<FormStaticText> m_noPins;

    KorvelDriver m_panelView;
    KorvelDriver m_mixerView;
    UINT_PTR m_timer = 0;
    WtlBrush m_headerBrush;
};
