// The faders of an output strip against the in-process simulator: keyboard
// steps, the double click that sets 0 dB, and the dB scale beside them.
#include "DevicePageHost.h"
#include "FormMixer.h"
#include "InProcessSimTest.h"
#include "MixerValueScale.h"
#include "WtlGdiOwners.h"

#include <commctrl.h>

#include <cstdlib>
#include <memory>

using cpl_test::DevicePageHost;

namespace {

KorvelMixerPin Pin(uint8_t type, uint8_t channel)
{
    return KorvelMixerPin{type, channel, {0, 0}};
}

int Position(HWND bar)
{
    return static_cast<int>(SendMessageW(bar, TBM_GETPOS, 0, 0));
}

void Key(HWND control, UINT key)
{
    SendMessageW(control, WM_KEYDOWN, key, 0);
    SendMessageW(control, WM_KEYUP, key, 0);
}

// Where the thumb's centre is, in `target`'s client coordinates.
POINT ThumbCentre(HWND bar, HWND target)
{
    RECT thumb{};
    SendMessageW(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    POINT centre{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    MapWindowPoints(bar, target, &centre, 1);
    return centre;
}

// A press and a release on the thumb, as the mouse sends them.
void ClickThumb(HWND bar, UINT down = WM_LBUTTONDOWN)
{
    const POINT at = ThumbCentre(bar, bar);
    SendMessageW(bar, down, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

class FormStereoOutputCtrlTest : public InProcessSimTest
{
protected:
    void SetUp() override
    {
        InProcessSimTest::SetUp();
        Control("plug serial=FDR1 analog-in=2 analog-out=2 virtual=2");
        m_host = std::make_unique<DevicePageHost>();
        ASSERT_EQ(m_host->Connect(), 0u);
        const KorvelDeviceKey key = Device().Info().key;
        m_mixer = std::make_unique<FormMixer>(m_host->Client(), key.word0, key.word1, true);
        ASSERT_NE(m_mixer->CreateMixer(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
        m_mixer->Show();
        ASSERT_GE(m_mixer->ColumnCount(), 1u);
    }

    void TearDown() override
    {
        m_mixer.reset();
        m_host.reset();
        InProcessSimTest::TearDown();
    }

    KorvelDevice& Device() { return *m_host->Client().DeviceAt(0); }
    FormStereoOutputCtrl& Strip() { return m_mixer->OutputStrip(0); }
    HWND StripWindow() { return Strip().GetFormWindow(); }
    HWND Fader(bool left)
    {
        return GetDlgItem(StripWindow(), left ? IDC_STRIP_FADER_LEFT : IDC_STRIP_FADER_RIGHT);
    }
    // The first strip's channel as the simulator holds it (Analog Out 1 or 2).
    int16_t SimGain(uint8_t channel)
    {
        KorvelMixerGain entry{Pin(0, channel), 0, 0, 0};
        EXPECT_EQ(Device().GetMixerOutputGains(&entry, 1), 0u);
        return entry.gain;
    }

    std::unique_ptr<DevicePageHost> m_host;
    std::unique_ptr<FormMixer> m_mixer;
};

} // namespace

TEST_F(FormStereoOutputCtrlTest, ArrowKeysStepHalfADbAndPageKeysSixDb)
{
    HWND left = Fader(true);
    ASSERT_EQ(Position(left), 600) << "0 dB";
    Key(left, VK_DOWN);
    EXPECT_EQ(SimGain(0), -50);
    EXPECT_EQ(SimGain(1), -50) << "linked";
    Key(left, VK_NEXT);
    EXPECT_EQ(SimGain(0), -650);
    EXPECT_EQ(SimGain(1), -650);
    Key(left, VK_UP);
    Key(left, VK_UP);
    EXPECT_EQ(SimGain(0), -550);
    Key(left, VK_PRIOR);
    EXPECT_EQ(SimGain(0), 50);
    EXPECT_EQ(DevicePageHost::Text(StripWindow(), IDC_STRIP_GAIN_RIGHT), L"0");

    DevicePageHost::ToggleAndClick(StripWindow(), IDC_STRIP_LINK);
    Key(Fader(false), VK_NEXT);
    EXPECT_EQ(SimGain(1), -550);
    EXPECT_EQ(SimGain(0), 50) << "unlinked: the left channel stays";
}

TEST_F(FormStereoOutputCtrlTest, ADoubleClickOnAFaderSetsZeroDbForThePairWhenLinked)
{
    HWND left = Fader(true);
    Key(left, VK_NEXT);
    Key(left, VK_NEXT); // -12 dB on both
    ClickThumb(left);
    EXPECT_EQ(SimGain(0), -1200) << "one press is no double click";
    ClickThumb(left);
    EXPECT_EQ(SimGain(0), 0);
    EXPECT_EQ(SimGain(1), 0);
    EXPECT_EQ(Position(left), 600);
    EXPECT_EQ(Position(Fader(false)), 600);
    EXPECT_EQ(DevicePageHost::Text(StripWindow(), IDC_STRIP_GAIN_LEFT), L"0");
}

TEST_F(FormStereoOutputCtrlTest, UnlinkedADoubleClickSetsZeroDbForThatChannelOnly)
{
    DevicePageHost::ToggleAndClick(StripWindow(), IDC_STRIP_LINK);
    Key(Fader(true), VK_NEXT);  // left -6 dB
    Key(Fader(false), VK_NEXT); // right -6 dB
    Key(Fader(false), VK_NEXT); // right -12 dB
    // A control class with CS_DBLCLKS reports the second press itself.
    HWND right = Fader(false);
    ClickThumb(right);
    ClickThumb(right, WM_LBUTTONDBLCLK);
    EXPECT_EQ(SimGain(1), 0);
    EXPECT_EQ(Position(right), 600);
    EXPECT_EQ(SimGain(0), -600) << "the other channel stays";
    EXPECT_EQ(Position(Fader(true)), 1200);
    EXPECT_EQ(DevicePageHost::Text(StripWindow(), IDC_STRIP_GAIN_RIGHT), L"0");
    EXPECT_EQ(DevicePageHost::Text(StripWindow(), IDC_STRIP_GAIN_LEFT), L"-6");
}

TEST_F(FormStereoOutputCtrlTest, TheScaleLabelsStandWhereTheThumbsCentreStandsForTheirGain)
{
    const MixerFaderScale& scale = Strip().Scale();
    HWND scaleWindow = GetDlgItem(StripWindow(), IDC_STRIP_SCALE);
    ASSERT_EQ(static_cast<HWND>(scale), scaleWindow);
    const auto marks = scale.Marks();
    ASSERT_EQ(marks.size(), std::size(MixerFaderScale::VALUES));
    for (bool leftFader : {true, false}) {
        HWND fader = Fader(leftFader);
        for (const auto& mark : marks) {
            SendMessageW(fader, TBM_SETPOS, TRUE, MixerValueScale::SliderFromValue(mark.value));
            EXPECT_LE(std::abs(mark.y - ThumbCentre(fader, scaleWindow).y), 1)
                << MixerFaderScale::Label(mark.value) << (leftFader ? " left" : " right");
        }
    }
    EXPECT_EQ(MixerFaderScale::Label(600), L"+6");
    EXPECT_EQ(MixerFaderScale::Label(0), L"0");
    EXPECT_EQ(MixerFaderScale::Label(-2400), L"-24");

    // Painted: ink on the 0 dB line, none halfway between -24 and -40.
    RECT client{};
    GetClientRect(scaleWindow, &client);
    WtlClientDC screen(scaleWindow);
    WtlMemoryDC dc(CreateCompatibleDC(screen.Get()));
    WtlBitmap bitmap(CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
    WtlSelectObject select(dc.get(), bitmap.get());
    SendMessageW(scaleWindow, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    const COLORREF background = GetPixel(dc.get(), 0, 0);
    auto inkOnRow = [&](int y) {
        for (int x = 0; x < client.right; ++x) {
            if (GetPixel(dc.get(), x, y) != background) {
                return true;
            }
        }
        return false;
    };
    int zeroY = 0;
    int between = 0;
    for (const auto& mark : marks) {
        zeroY = mark.value == 0 ? mark.y : zeroY;
        between += (mark.value == -2400 || mark.value == -4000) ? mark.y : 0;
    }
    EXPECT_TRUE(inkOnRow(zeroY) || inkOnRow(zeroY - 1) || inkOnRow(zeroY + 1));
    EXPECT_FALSE(inkOnRow(between / 2));
}
