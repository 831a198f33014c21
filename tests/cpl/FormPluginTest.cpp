// The echo effect page against the in-process simulator: the pair list from
// the device's channel count, the bars from its values, and writes for both
// channels of the selected pair.
#include "FormPlugin.h"
#include "InProcessSimTest.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"

#include <commctrl.h>

#include <sstream>
#include <string>

namespace {

class FormPluginTest : public InProcessSimTest
{
protected:
    void SetUp() override
    {
        InProcessSimTest::SetUp();
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
        m_parent = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 600, 500,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_parent, nullptr);
    }

    void TearDown() override
    {
        m_page.reset();
        DestroyWindow(m_parent);
        m_client.CloseAll();
        InProcessSimTest::TearDown();
    }

    // Plugs the device with `options`, connects and creates its page.
    void CreatePage(const std::string& options)
    {
        Control("plug serial=ECHO echo=1 " + options);
        ASSERT_EQ(m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
        bool changed = false;
        ASSERT_EQ(m_client.RefreshDevices(changed), 0u);
        ASSERT_EQ(m_client.DeviceCount(), 1u);
        m_device = m_client.DeviceAt(0);
        const KorvelDeviceKey key = m_device->Info().key;
        m_page = std::make_unique<FormPlugin>(m_client, m_parent, key.word0, key.word1);
        ASSERT_NE(m_page->CreateForm(GetModuleHandleW(nullptr), m_parent), nullptr);
    }

    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendDlgItemMessageW(m_page->GetFormWindow(), id, message, wParam, lParam);
    }

    std::wstring ListText(int item)
    {
        wchar_t text[64] = {};
        Send(IDC_PLUGIN_CHANNELS, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
        return text;
    }

    std::wstring Text(int id) { return m_page->GetDlgItemText(id); }

    void SelectPair(int item)
    {
        Send(IDC_PLUGIN_CHANNELS, CB_SETCURSEL, item);
        SendMessageW(m_page->GetFormWindow(), WM_COMMAND, MAKEWPARAM(IDC_PLUGIN_CHANNELS, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(m_page->GetDlgItem(IDC_PLUGIN_CHANNELS)));
    }

    // Moves a bar as the user would: position, then the scroll message.
    void Scroll(int bar, LRESULT position, int code)
    {
        Send(bar, TBM_SETPOS, TRUE, position);
        SendMessageW(m_page->GetFormWindow(), WM_VSCROLL, MAKEWPARAM(code, position),
                     reinterpret_cast<LPARAM>(m_page->GetDlgItem(bar)));
    }

    uint32_t DeviceValue(uint32_t selector, uint32_t channel)
    {
        KorvelEchoRecord block{};
        block.selector = selector;
        block.value = 1;
        block.pairs[0].channel = channel;
        EXPECT_EQ(m_device->GetEcho(block), 0u);
        return block.pairs[0].value;
    }

    HWND m_parent = nullptr;
    KorvelCplClient m_client;
    KorvelDevice* m_device = nullptr;
    std::unique_ptr<FormPlugin> m_page;
};

TEST_F(FormPluginTest, EightChannelsGiveFourPairsAndTheBarsCountDownFromTheTop)
{
    CreatePage("analog-out=6"); // six analog outputs and the SPDIF pair
    EXPECT_EQ(m_page->MaxDelay(), 500u);
    EXPECT_EQ(Send(IDC_PLUGIN_DELAY, TBM_GETRANGEMAX), 500);
    EXPECT_EQ(Send(IDC_PLUGIN_AMPLIFICATION, TBM_GETRANGEMAX), 1000);
    m_page->ShowForm();

    ASSERT_EQ(Send(IDC_PLUGIN_CHANNELS, CB_GETCOUNT), 4);
    const wchar_t* expected[] = {L"Channel 01/02", L"Channel 03/04", L"Channel 05/06", L"Channel 07/08"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ListText(i), expected[i]);
        EXPECT_EQ(Send(IDC_PLUGIN_CHANNELS, CB_GETITEMDATA, i), 2 * i);
    }
    EXPECT_EQ(Send(IDC_PLUGIN_CHANNELS, CB_GETCURSEL), 0);
    // Zero delay and amplification sit at the bottom of their bars.
    EXPECT_EQ(Send(IDC_PLUGIN_DELAY, TBM_GETPOS), 500);
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"0 ms");
    EXPECT_EQ(Send(IDC_PLUGIN_AMPLIFICATION, TBM_GETPOS), 1000);
    EXPECT_EQ(Text(IDC_PLUGIN_AMPLIFICATION_VALUE), L"0.00");
}

TEST_F(FormPluginTest, BarsWriteBothChannelsOfTheSelectedPair)
{
    CreatePage("analog-out=6");
    m_page->RefreshForm();
    SelectPair(1);

    Scroll(IDC_PLUGIN_DELAY, 0, SB_THUMBTRACK); // the top: the maximum delay
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_DELAY, 2), 500u);
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_DELAY, 3), 500u);
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_DELAY, 1), 0u);
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_DELAY, 4), 0u);
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"500 ms");

    Scroll(IDC_PLUGIN_AMPLIFICATION, 245, SB_LINEDOWN);
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_AMPLIFICATION, 2), 755u);
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_AMPLIFICATION, 3), 755u);
    EXPECT_EQ(Text(IDC_PLUGIN_AMPLIFICATION_VALUE), L"0.75");

    // End of scroll, top and bottom write nothing.
    for (int code : {SB_TOP, SB_BOTTOM, SB_ENDSCROLL}) {
        Scroll(IDC_PLUGIN_AMPLIFICATION, 1000, code);
    }
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_AMPLIFICATION, 2), 755u);

    // Another pair shows its own values; the first pair again, the written ones.
    SelectPair(0);
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"0 ms");
    EXPECT_EQ(Send(IDC_PLUGIN_DELAY, TBM_GETPOS), 500);
    SelectPair(1);
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"500 ms");
    EXPECT_EQ(Send(IDC_PLUGIN_AMPLIFICATION, TBM_GETPOS), 245);

    // Every refresh starts again from the first pair.
    m_page->RefreshForm();
    EXPECT_EQ(Send(IDC_PLUGIN_CHANNELS, CB_GETCURSEL), 0);
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"0 ms");
}

TEST_F(FormPluginTest, OneChannelGivesNoPairAndLeavesTheBarsAlone)
{
    CreatePage("echo-channels=1");
    m_page->RefreshForm();
    EXPECT_EQ(Send(IDC_PLUGIN_CHANNELS, CB_GETCOUNT), 0);
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"");
    EXPECT_EQ(Text(IDC_PLUGIN_AMPLIFICATION_VALUE), L"");
    Scroll(IDC_PLUGIN_DELAY, 0, SB_THUMBTRACK);
    EXPECT_EQ(DeviceValue(KORVEL_ECHO_DELAY, 0), 0u) << "written without a selected pair";
}

TEST_F(FormPluginTest, HugeChannelCountIsCutToOneBlockOfPairs)
{
    CreatePage("echo-channels=4294967295");
    m_page->RefreshForm();
    const LRESULT count = Send(IDC_PLUGIN_CHANNELS, CB_GETCOUNT);
    ASSERT_EQ(count, static_cast<LRESULT>(FormPlugin::MAX_CHANNELS / 2));
    EXPECT_EQ(ListText(static_cast<int>(count - 1)), L"Channel 127/128");
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"0 ms");
}

TEST_F(FormPluginTest, UnreadableMaximumDelayIs100AndAMissingDeviceStopsEverything)
{
    std::ostringstream fault;
    fault << "fault fail " << std::hex << IOCTL_KORVEL_GET_ECHO << " " << KORVEL_STATUS_FAILED;
    Control(fault.str());
    CreatePage("analog-out=6");
    EXPECT_EQ(m_page->MaxDelay(), FormPlugin::DEFAULT_MAX_DELAY_MS);
    EXPECT_EQ(Send(IDC_PLUGIN_DELAY, TBM_GETRANGEMAX), 100);
    m_page->RefreshForm();
    ASSERT_EQ(Send(IDC_PLUGIN_CHANNELS, CB_GETCOUNT), 4);

    // The device leaves: the page keeps what it shows and sends nothing.
    const KorvelDeviceKey key = m_device->Info().key;
    Control("unplug ECHO");
    bool changed = false;
    ASSERT_EQ(m_client.RefreshDevices(changed), 0u);
    ASSERT_EQ(m_client.FindDevice(key.word0, key.word1), nullptr);
    m_device = nullptr;
    SelectPair(2);
    Scroll(IDC_PLUGIN_DELAY, 0, SB_THUMBTRACK);
    m_page->RefreshForm();
    EXPECT_EQ(Send(IDC_PLUGIN_CHANNELS, CB_GETCURSEL), 2);
    EXPECT_EQ(Text(IDC_PLUGIN_DELAY_VALUE), L"0 ms");
}

} // namespace
