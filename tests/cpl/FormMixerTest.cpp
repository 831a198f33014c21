// The mixer windows against the in-process simulator: the matrix built from
// the device's pins, the values read into it, what the faders, buttons and
// the weight editor write, the level timer, failed requests and the
// tear-down when a window closes.
#include "FormMixerFixture.h"
#include "MixerPinLabels.h"
#include "WtlDpi.h"

using namespace cpl_test;

namespace {

TEST_F(FormMixerTest, TenOutputAndSixInputPinsBuildFiveColumnsThreeRowsAndFifteenCells)
{
    CreateMixer(kTenBySix, true);
    EXPECT_EQ(GetWindow(Window(), GW_CHILD), nullptr) << "nothing is built before it is shown";
    m_mixer->Show();
    ASSERT_TRUE(IsWindowVisible(Window()));
    EXPECT_EQ(WtlWindow(Window()).GetWindowText(), L"Hardware Inputs Mixer - quillo (MIX1)");

    EXPECT_EQ(m_mixer->OutputPinCount(), 10u);
    EXPECT_EQ(m_mixer->InputPinCount(), 6u);
    EXPECT_EQ(m_mixer->ColumnCount(), 5u);
    EXPECT_EQ(m_mixer->RowCount(), 3u);
    EXPECT_EQ(m_mixer->CellCount(), 15u);
    EXPECT_EQ(m_mixer->WeightCount(), 60u);
    EXPECT_EQ(m_mixer->GainCount(), 10u);
    EXPECT_EQ(m_mixer->OutputLevelCount() + m_mixer->InputLevelCount(), 16u);
    EXPECT_TRUE(m_mixer->IsTimerRunning());
    EXPECT_TRUE(m_mixer->AreViewsOpen());

    const wchar_t* rows[] = {L"Analog In 1/2", L"Analog In 3/4", L"SPDIF In 1/2"};
    for (size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(DevicePageHost::Text(m_mixer->InputStrip(r).GetFormWindow(), IDC_STRIP_LABEL),
                  rows[r]);
    }
    const wchar_t* columns[] = {L"Analog Out 1/2", L"Analog Out 3/4", L"SPDIF Out 1/2",
                                L"Virtual In 1/2", L"Virtual In 3/4"};
    for (size_t c = 0; c < 5; ++c) {
        EXPECT_EQ(DevicePageHost::Text(Strip(c), IDC_STRIP_LABEL), columns[c]);
        EXPECT_EQ(DevicePageHost::Text(Strip(c), IDC_STRIP_GAIN_LEFT), L"0");
        EXPECT_EQ(Position(GetDlgItem(Strip(c), IDC_STRIP_FADER_LEFT)), 600) << "0 dB";
    }

    // Headers: the inputs' above the rows, each of the outputs' below its own columns.
    const auto& headers = m_mixer->HeaderLabels();
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(WtlWindow(headers[0]).GetWindowText(), L"Hardware Inputs");
    EXPECT_EQ(WtlWindow(headers[1]).GetWindowText(), L"Hardware Outputs");
    EXPECT_EQ(WtlWindow(headers[2]).GetWindowText(), L"Virtual Inputs");
    const RECT outputs = ChildRect(Window(), headers[1]);
    const RECT virtuals = ChildRect(Window(), headers[2]);
    EXPECT_EQ(outputs.left, ChildRect(Window(), Strip(0)).left);
    EXPECT_EQ(outputs.right, ChildRect(Window(), Strip(2)).right) << "SPDIF Out 1/2 is hardware";
    EXPECT_EQ(virtuals.left, ChildRect(Window(), Strip(3)).left);
    EXPECT_EQ(virtuals.right, ChildRect(Window(), Strip(4)).right);
    EXPECT_EQ(outputs.bottom - outputs.top, WtlDpi::Scale(Window(), FormMixer::HEADER));
    EXPECT_EQ(ChildRect(Window(), Strip(0)).bottom, outputs.top);

    // Crosspoints line up with their rows and columns; the window just holds everything.
    HWND grid = m_mixer->Crosspoints()->Grid();
    RECT cell = m_mixer->Crosspoints()->Grid().CellRect(9, 5); // Virtual In 4 from SPDIF In 2
    MapWindowPoints(grid, Window(), reinterpret_cast<POINT*>(&cell), 2);
    const RECT column = ChildRect(Window(), Strip(4));
    const RECT row = ChildRect(Window(), m_mixer->InputStrip(2).GetFormWindow());
    EXPECT_GT(cell.left, (column.left + column.right) / 2) << "the right half of its column";
    EXPECT_LE(cell.right, column.right);
    EXPECT_GT(cell.top, (row.top + row.bottom) / 2 - FormMixer::BAR) << "the lower half of its row";
    EXPECT_LE(cell.bottom, column.top);
    RECT client{};
    GetClientRect(Window(), &client);
    EXPECT_EQ(client.right, virtuals.right);
    EXPECT_EQ(client.bottom, virtuals.bottom);
    EXPECT_EQ(m_mixer->ScrollPosition().x + m_mixer->ScrollPosition().y, 0);

    // Closing tears everything down; opening again builds it anew.
    SendMessageW(Window(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(Window()));
    EXPECT_EQ(GetWindow(Window(), GW_CHILD), nullptr);
    EXPECT_EQ(m_mixer->WeightCount() + m_mixer->GainCount() + m_mixer->OutputPinCount(), 0u);
    EXPECT_FALSE(m_mixer->IsTimerRunning());
    EXPECT_FALSE(m_mixer->AreViewsOpen());
    m_mixer->Show();
    EXPECT_EQ(m_mixer->CellCount(), 15u);
}

// Frame repaints of the windows under one root window, counted while a hook is in.
class RepaintCounter
{
public:
    explicit RepaintCounter(HWND root)
    {
        s_root = root;
        s_count = 0;
        m_hook = SetWindowsHookExW(WH_CALLWNDPROC, Count, nullptr, GetCurrentThreadId());
    }
    ~RepaintCounter()
    {
        UnhookWindowsHookEx(m_hook);
        s_root = nullptr;
    }
    RepaintCounter(const RepaintCounter&) = delete;
    RepaintCounter& operator=(const RepaintCounter&) = delete;
    int Count() const { return s_count; }

private:
    static LRESULT CALLBACK Count(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && message->message == WM_NCPAINT &&
            GetAncestor(message->hwnd, GA_ROOT) == s_root) {
            ++s_count;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline HWND s_root = nullptr;
    static inline int s_count = 0;
    HHOOK m_hook = nullptr;
};

// The strips and cells are bare (no client edge) from the start: under Wine a
// frame change of a child repainted the whole of the other open mixer, once
// per strip and cell, and the second mixer took seconds to open.
TEST_F(FormMixerTest, OpeningTheOtherMixerLeavesTheOpenOneUnpainted)
{
    CreateMixer(kTenBySix, true);
    m_mixer->Show();
    EXPECT_FALSE(GetWindowLongPtrW(Strip(0), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(GetWindowLongPtrW(m_mixer->Crosspoints()->Grid(), GWL_EXSTYLE) &
                 WS_EX_CLIENTEDGE);
    EXPECT_FALSE(GetWindowLongPtrW(m_mixer->InputStrip(0).GetFormWindow(), GWL_EXSTYLE) &
                 WS_EX_CLIENTEDGE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
    const KorvelDeviceKey key = Device().Info().key;
    FormMixer outputs(m_host->Client(), key.word0, key.word1, false, TEST_PLACEMENT_ROOT);
    ASSERT_NE(outputs.CreateMixer(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
    RepaintCounter repaints(Window());
    outputs.Show();
    ASSERT_EQ(outputs.CellCount(), 15u);
    EXPECT_EQ(repaints.Count(), 0);
}

TEST_F(FormMixerTest, SoftwareOutputsMixerShowsThePlaybackPairsAndTheFactoryRoutes)
{
    CreateMixer(kTenBySix, false);
    m_mixer->Show();
    EXPECT_EQ(WtlWindow(Window()).GetWindowText(), L"Software Outputs Mixer - quillo (MIX1)");
    EXPECT_EQ(WtlWindow(m_mixer->HeaderLabels().at(0)).GetWindowText(), L"Software Outputs");
    EXPECT_EQ(DevicePageHost::Text(m_mixer->InputStrip(0).GetFormWindow(), IDC_STRIP_LABEL),
              L"Out 1/2");
    EXPECT_EQ(DevicePageHost::Text(m_mixer->InputStrip(2).GetFormWindow(), IDC_STRIP_LABEL),
              L"SPDIF 1/2");
    // Playback 1/2 reaches Analog Out 1/2 left to left and right to right.
    EXPECT_EQ(CellText(0, 0), L"0");
    EXPECT_EQ(CellText(1, 0), L"x");
    EXPECT_EQ(CellText(0, 1), L"x");
    EXPECT_EQ(CellText(1, 1), L"0");
    EXPECT_EQ(CellText(2, 0), L"x");
    EXPECT_EQ(m_mixer->Crosspoints()->CellColor(0, 0), FormMixerCrosspoints::CONNECTED_COLOR);
    EXPECT_EQ(m_mixer->Crosspoints()->CellColor(1, 0), FormMixerCrosspoints::OPEN_COLOR);
    // The tool-tips say what each crosspoint routes.
    EXPECT_EQ(m_mixer->Crosspoints()->CellTip(0, 0), L"Out 1 to Analog Out 1: 0.00 dB");
    EXPECT_EQ(m_mixer->Crosspoints()->CellTip(9, 5), L"SPDIF 2 to Virtual In 4: not connected");
}

TEST_F(FormMixerTest, ADeviceWithoutPinsShowsTheNoPinsTextUntilItsPinsAppear)
{
    CreateMixer("mixer=0", true);
    m_mixer->Show();
    ASSERT_NE(m_mixer->NoPinsText(), nullptr);
    EXPECT_EQ(DevicePageHost::Text(m_mixer->NoPinsText(), IDC_STATICTEXT_TEXT), L"No mixer pins.");
    EXPECT_TRUE(IsWindowVisible(m_mixer->NoPinsText()));
    EXPECT_FALSE(m_mixer->IsTimerRunning());
    EXPECT_FALSE(m_mixer->AreViewsOpen());

    Control("set MIX1 mixer 1");
    m_mixer->Rebuild();
    EXPECT_EQ(m_mixer->NoPinsText(), nullptr);
    EXPECT_EQ(m_mixer->ColumnCount(), 11u);
    EXPECT_TRUE(IsWindowVisible(Window()));

    // A hidden window is not built on a pin change.
    m_mixer->Close();
    m_mixer->Rebuild();
    EXPECT_FALSE(IsWindowVisible(Window()));
    EXPECT_EQ(GetWindow(Window(), GW_CHILD), nullptr);
}

TEST_F(FormMixerTest, FadersLinkMuteAndZeroDbWriteBothChannels)
{
    CreateMixer(kTenBySix, false);
    m_mixer->Show();
    HWND strip = Strip(0);
    ASSERT_TRUE(DevicePageHost::IsChecked(strip, IDC_STRIP_LINK)) << "linked from the start";

    // Linked: one fader moves both.
    Drag(strip, IDC_STRIP_FADER_LEFT, 1600);
    EXPECT_EQ(SimGain(0, 0).gain, -1000);
    EXPECT_EQ(SimGain(0, 1).gain, -1000);
    EXPECT_EQ(Position(GetDlgItem(strip, IDC_STRIP_FADER_RIGHT)), 1600);
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_RIGHT), L"-10");

    // Unlinked: only that channel.
    DevicePageHost::ToggleAndClick(strip, IDC_STRIP_LINK);
    Drag(strip, IDC_STRIP_FADER_RIGHT, 2100);
    EXPECT_EQ(SimGain(0, 0).gain, -1000);
    EXPECT_EQ(SimGain(0, 1).gain, -1500);
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_RIGHT), L"-15");

    // Link again: both go to the average.
    DevicePageHost::ToggleAndClick(strip, IDC_STRIP_LINK);
    EXPECT_EQ(SimGain(0, 0).gain, -1250);
    EXPECT_EQ(SimGain(0, 1).gain, -1250);
    EXPECT_EQ(Position(GetDlgItem(strip, IDC_STRIP_FADER_LEFT)), 1850);
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_LEFT), L"-12");

    DevicePageHost::ToggleAndClick(strip, IDC_STRIP_MUTE);
    EXPECT_EQ(SimGain(0, 0).flags, KORVEL_MIXER_GAIN_FLAG_MUTED);
    EXPECT_EQ(SimGain(0, 1).flags, KORVEL_MIXER_GAIN_FLAG_MUTED);
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_LEFT), L"M");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(strip, IDC_STRIP_FADER_LEFT)));
    DevicePageHost::ToggleAndClick(strip, IDC_STRIP_MUTE);
    EXPECT_EQ(SimGain(0, 1).flags, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(strip, IDC_STRIP_FADER_RIGHT)));

    DevicePageHost::Click(strip, IDC_STRIP_ZERO_DB);
    EXPECT_EQ(SimGain(0, 0).gain, 0);
    EXPECT_EQ(SimGain(0, 1).gain, 0);
    EXPECT_EQ(Position(GetDlgItem(strip, IDC_STRIP_FADER_LEFT)), 600);
    EXPECT_EQ(SimGain(0, 2).gain, 0) << "the next pair is not touched";
}

TEST_F(FormMixerTest, GainsBeyondTheFaderRangeSitAtItsEndsAndMutedChannelsShowM)
{
    CreateMixer(kTenBySix, false);
    m_mixer->Show();
    Control("set MIX1 gain 0 0 700");
    Control("set MIX1 gain 0 1 -7000 1");
    m_mixer->ReadGains();
    HWND strip = Strip(0);
    EXPECT_EQ(Position(GetDlgItem(strip, IDC_STRIP_FADER_LEFT)), 0) << "+7.00 dB: the top";
    EXPECT_EQ(Position(GetDlgItem(strip, IDC_STRIP_FADER_RIGHT)), 6600) << "-70.00 dB: the bottom";
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_LEFT), L"7");
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_RIGHT), L"M");
    EXPECT_TRUE(DevicePageHost::IsChecked(strip, IDC_STRIP_MUTE));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(strip, IDC_STRIP_FADER_LEFT)));
}

TEST_F(FormMixerTest, TheWeightEditorShowsTheExactValueAndConnectedResetsToZeroDb)
{
    CreateMixer(kTenBySix, true);
    // Analog Out 1 from Analog In 1 at -12.50 dB; Analog Out 2 from it at +0.05 dB.
    Control("set MIX1 weight 0 0 0 0 -1250 1");
    Control("set MIX1 weight 0 1 0 0 5 1");
    m_mixer->Show();
    EXPECT_EQ(CellText(0, 0), L"-12");
    EXPECT_EQ(CellText(1, 0), L"0");
    EXPECT_EQ(CellText(0, 1), L"x");

    std::wstring value;
    int position = -1;
    bool sliderEnabled = false;
    RECT placed{};
    {
        EditorScript script([&](HWND editor) {
            value = DevicePageHost::Text(editor, IDC_WEIGHT_VALUE);
            position = Position(GetDlgItem(editor, IDC_WEIGHT_SLIDER));
            sliderEnabled = IsWindowEnabled(GetDlgItem(editor, IDC_WEIGHT_SLIDER)) != FALSE;
            GetWindowRect(editor, &placed);
            Drag(editor, IDC_WEIGHT_SLIDER, 900); // -3.00 dB
        });
        m_mixer->Crosspoints()->EditWeight(0, 0);
    }
    EXPECT_EQ(value, L"-12.50");
    EXPECT_EQ(position, 1850);
    EXPECT_TRUE(sliderEnabled);
    RECT text = m_mixer->Crosspoints()->Grid().CellRect(0, 0);
    MapWindowPoints(m_mixer->Crosspoints()->Grid(), nullptr, reinterpret_cast<POINT*>(&text), 2);
    EXPECT_EQ(placed.left, text.left);
    EXPECT_EQ(placed.top, text.top);
    EXPECT_EQ(SimWeight(Pin(0, 0), Pin(0, 0)).weight, -300);
    EXPECT_EQ(CellText(0, 0), L"-3");

    {
        EditorScript script(
            [&](HWND editor) { value = DevicePageHost::Text(editor, IDC_WEIGHT_VALUE); });
        m_mixer->Crosspoints()->EditWeight(1, 0);
    }
    EXPECT_EQ(value, L"0.05");

    // Not connected: the weight stays; connected again: 0 dB.
    {
        EditorScript script([&](HWND editor) {
            DevicePageHost::ToggleAndClick(editor, IDC_WEIGHT_CONNECTED);
            sliderEnabled = IsWindowEnabled(GetDlgItem(editor, IDC_WEIGHT_SLIDER)) != FALSE;
        });
        m_mixer->Crosspoints()->EditWeight(0, 0);
    }
    EXPECT_FALSE(sliderEnabled);
    KorvelMixerWeight written = SimWeight(Pin(0, 0), Pin(0, 0));
    EXPECT_EQ(written.flags, 0);
    EXPECT_EQ(written.weight, -300);
    EXPECT_EQ(CellText(0, 0), L"x");
    {
        EditorScript script([&](HWND editor) {
            DevicePageHost::ToggleAndClick(editor, IDC_WEIGHT_CONNECTED);
            value = DevicePageHost::Text(editor, IDC_WEIGHT_VALUE);
            position = Position(GetDlgItem(editor, IDC_WEIGHT_SLIDER));
        });
        m_mixer->Crosspoints()->EditWeight(0, 0);
    }
    EXPECT_EQ(value, L"0.00");
    EXPECT_EQ(position, 600);
    written = SimWeight(Pin(0, 0), Pin(0, 0));
    EXPECT_EQ(written.flags, KORVEL_MIXER_WEIGHT_FLAG_CONNECTED);
    EXPECT_EQ(written.weight, 0);
}

TEST_F(FormMixerTest, APinChangeWhileTheWeightEditorIsOpenEndsItAndWritesNothing)
{
    CreateMixer(kTenBySix, true);
    m_mixer->Show();
    {
        EditorScript script([&](HWND editor) {
            // A pin notification arrives while the editor runs: the window
            // is rebuilt and the cell that opened the editor deleted.
            m_mixer->Rebuild();
            Drag(editor, IDC_WEIGHT_SLIDER, 900);
        });
        m_mixer->Crosspoints()->EditWeight(0, 0);
    }
    EXPECT_EQ(SimWeight(Pin(0, 0), Pin(0, 0)).weight, 0) << "nothing written after the rebuild";
    EXPECT_EQ(m_mixer->CellCount(), 15u);
    EXPECT_EQ(CellText(0, 0), L"x");
}

TEST_F(FormMixerTest, LevelsFollowTheMixerAndAFailedRequestDropsTheMetersUntilTheNextTick)
{
    CreateMixer(kTenBySix, true);
    Control("set MIX1 input-level 0 0 -2000");
    Control("set MIX1 weight 0 0 0 0 -600 1");
    m_mixer->Show();
    Tick();
    const FormStereoInputCtrl& row = m_mixer->InputStrip(0);
    FormStereoOutputCtrl& column = m_mixer->OutputStrip(0);
    EXPECT_EQ(row.Meter(true).GetPosition(), 4000) << "-20.00 dB";
    EXPECT_EQ(row.Meter(false).GetPosition(), 0) << "the floor";
    EXPECT_EQ(column.Meter(true).GetPosition(), 3400) << "-20.00 dB through -6.00 dB";
    EXPECT_EQ(column.Meter(false).GetPosition(), 0);

    Control("fault fail " + Hex(IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS) + " " +
            Hex(KORVEL_STATUS_FAILED));
    Tick();
    EXPECT_EQ(column.Meter(true).GetPosition(), 0);
    EXPECT_EQ(row.Meter(true).GetPosition(), 4000) << "the inputs' request succeeded";
    Tick();
    EXPECT_EQ(column.Meter(true).GetPosition(), 3400);

    Control("fault fail " + Hex(IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS) + " " +
            Hex(KORVEL_STATUS_FAILED));
    Tick();
    EXPECT_EQ(row.Meter(true).GetPosition(), 0);
    Tick();
    EXPECT_EQ(row.Meter(true).GetPosition(), 4000);

    // The real timer reads them too.
    Control("set MIX1 input-level 0 0 -1000");
    EXPECT_TRUE(
        DevicePageHost::PumpUntil([&] { return row.Meter(true).GetPosition() == 5000; }, 5000));
}

TEST_F(FormMixerTest, FailedGainAndWeightReadsShowNotAvailableAndTheNextReadRecovers)
{
    CreateMixer(kTenBySix, false);
    m_mixer->Show();
    Control("set MIX1 gain 0 0 -1000");
    Control("fault fail " + Hex(IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS) + " " +
            Hex(KORVEL_STATUS_FAILED));
    m_mixer->ReadGains();
    HWND strip = Strip(0);
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_LEFT), L"n/a");
    EXPECT_EQ(DevicePageHost::Text(Strip(4), IDC_STRIP_GAIN_RIGHT), L"n/a");
    EXPECT_EQ(Position(GetDlgItem(strip, IDC_STRIP_FADER_LEFT)), 0);
    m_mixer->ReadGains();
    EXPECT_EQ(DevicePageHost::Text(strip, IDC_STRIP_GAIN_LEFT), L"-10");
    EXPECT_EQ(Position(GetDlgItem(strip, IDC_STRIP_FADER_LEFT)), 1600);

    Control("fault fail " + Hex(IOCTL_KORVEL_GET_MIXER_WEIGHTS) + " " + Hex(KORVEL_STATUS_FAILED));
    m_mixer->ReadWeights();
    for (int column = 4; column < 6; ++column) {
        for (int row = 2; row < 4; ++row) {
            EXPECT_EQ(CellText(column, row), L"n/a");
        }
    }
    EXPECT_EQ(m_mixer->Crosspoints()->CellTip(4, 2), L"Out 3 to SPDIF Out 1: n/a");
    m_mixer->ReadWeights();
    EXPECT_EQ(CellText(0, 0), L"0");
}

TEST(MixerValueScale, SlidersMetersAndTexts)
{
    EXPECT_EQ(MixerValueScale::SliderFromValue(700), 0);
    EXPECT_EQ(MixerValueScale::SliderFromValue(600), 0);
    EXPECT_EQ(MixerValueScale::SliderFromValue(-1250), 1850);
    EXPECT_EQ(MixerValueScale::SliderFromValue(-6000), 6600);
    EXPECT_EQ(MixerValueScale::SliderFromValue(-7000), 6600);
    EXPECT_EQ(MixerValueScale::ValueFromSlider(-5), 600);
    EXPECT_EQ(MixerValueScale::ValueFromSlider(1850), -1250);
    EXPECT_EQ(MixerValueScale::ValueFromSlider(7000), -6000);
    EXPECT_EQ(MixerValueScale::MeterFromLevel(-14400), 0);
    EXPECT_EQ(MixerValueScale::MeterFromLevel(-6000), 0);
    EXPECT_EQ(MixerValueScale::MeterFromLevel(-250), 5750);
    EXPECT_EQ(MixerValueScale::MeterFromLevel(300), 6000);

    EXPECT_EQ(MixerValueScale::CellText(-1250, true), L"-12");
    EXPECT_EQ(MixerValueScale::CellText(5, true), L"0");
    EXPECT_EQ(MixerValueScale::CellText(-99, true), L"0") << "truncated toward zero";
    EXPECT_EQ(MixerValueScale::CellText(-1250, false), L"x");
    EXPECT_EQ(MixerValueScale::EditorText(-1250), L"-12.50");
    EXPECT_EQ(MixerValueScale::EditorText(5), L"0.05");
    EXPECT_EQ(MixerValueScale::EditorText(-5), L"-0.05");
    EXPECT_EQ(MixerValueScale::EditorText(600), L"6.00");
    EXPECT_EQ(MixerValueScale::GainText(-1599, false), L"-15");
    EXPECT_EQ(MixerValueScale::GainText(-1599, true), L"M");
}

TEST(MixerPinLabels, PairsAreNamedByTheLeftPinsTypeAndBothChannelsSinglePinsByTheirOwn)
{
    EXPECT_EQ(MixerPinLabels::InputPair(Pin(1, 4), Pin(1, 5)), L"SPDIF In 5/6");
    EXPECT_EQ(MixerPinLabels::InputPair(Pin(3, 0), Pin(3, 1)), L"SPDIF 1/2");
    EXPECT_EQ(MixerPinLabels::InputPair(Pin(4, 0), Pin(4, 1)), L"unknown");
    EXPECT_EQ(MixerPinLabels::OutputPair(Pin(2, 0), Pin(2, 1)), L"unknown") << "no output label";
    EXPECT_EQ(MixerPinLabels::OutputPair(Pin(5, 2), Pin(0, 7)), L"Virtual In 3/8");
    EXPECT_EQ(MixerPinLabels::Input(Pin(2, 11)), L"Out 12");
    EXPECT_EQ(MixerPinLabels::Output(Pin(1, 0)), L"SPDIF Out 1");
    EXPECT_EQ(MixerPinLabels::Output(Pin(3, 0)), L"unknown");
}

} // namespace
