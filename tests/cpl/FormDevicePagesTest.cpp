// The device, status and driver pages against the in-process simulator:
// what they show for each device state, the device requests of their check
// boxes with their error boxes, and the polling of the status counters.
#include "DevicePageHost.h"
#include "FormDevice.h"
#include "FormDevices.h"
#include "FormDrvInfo.h"
#include "FormMixer.h"
#include "FormStatusInfo.h"
#include "InProcessSimTest.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "MessageBoxWatcher.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

using cpl_test::DevicePageHost;
using cpl_test::MessageBoxWatcher;

namespace {

constexpr DWORD kTimerWaitMs = 5000; // five periods of the 1 s status timer

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

class FormDevicePagesTest : public InProcessSimTest
{
protected:
    void TearDown() override
    {
        m_devicePage.reset();
        m_devicesPage.reset();
        m_host.reset();
        InProcessSimTest::TearDown();
    }

    void Connect()
    {
        m_host = std::make_unique<DevicePageHost>();
        ASSERT_EQ(m_host->Connect(), 0u);
    }

    // Plugs one device with `options`, connects and creates its page.
    void CreateDevicePage(const std::string& options)
    {
        Control("plug serial=DEV1 " + options);
        Connect();
        ASSERT_EQ(m_host->Client().DeviceCount(), 1u);
        const KorvelDeviceKey key = m_host->Client().DeviceAt(0)->Info().key;
        m_devicePage = std::make_unique<FormDevice>(m_host->Client(), m_host->Frame(), key.word0,
                                                    key.word1, nullptr, nullptr);
        ASSERT_NE(m_devicePage->CreateForm(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
        m_page = m_devicePage->GetFormWindow();
    }

    void CreateDevicesPage()
    {
        m_devicesPage = std::make_unique<FormDevices>(m_host->Client());
        ASSERT_NE(m_devicesPage->CreateForm(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
        m_page = m_devicesPage->GetFormWindow();
        m_devicesPage->RefreshForm();
    }

    KorvelDevice& Device() { return *m_host->Client().DeviceAt(0); }
    std::wstring Text(int id) { return DevicePageHost::Text(m_page, id); }
    bool Checked(int id) { return DevicePageHost::IsChecked(m_page, id); }

    std::unique_ptr<DevicePageHost> m_host;
    std::unique_ptr<FormDevice> m_devicePage;
    std::unique_ptr<FormDevices> m_devicesPage;
    HWND m_page = nullptr;
};

TEST_F(FormDevicePagesTest, DevicesListShowsEveryDeviceAndMarksTheStreamingOne)
{
    Control("plug serial=AAA1");
    Control("plug serial=BBB2");
    Control("select BBB2");
    Connect();
    CreateDevicesPage();
    HWND list = GetDlgItem(m_page, IDC_DEVICES_LIST);

    HWND header = ListView_GetHeader(list);
    ASSERT_EQ(Header_GetItemCount(header), 3);
    const wchar_t* names[] = {L"Device", L"Serial number", L"Streaming"};
    for (int c = 0; c < 3; ++c) {
        wchar_t text[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(ListView_GetColumn(list, c, &column));
        EXPECT_STREQ(text, names[c]);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, c == 2 ? LVCFMT_CENTER : LVCFMT_LEFT);
    }

    ASSERT_EQ(ListView_GetItemCount(list), 2);
    EXPECT_EQ(DevicePageHost::ListText(list, 0, 0), L"quillo (AAA1)");
    EXPECT_EQ(DevicePageHost::ListText(list, 0, 1), L"AAA1");
    EXPECT_EQ(DevicePageHost::ListText(list, 0, 2), L"");
    EXPECT_EQ(DevicePageHost::ListText(list, 1, 0), L"quillo (BBB2)");
    EXPECT_EQ(DevicePageHost::ListText(list, 1, 1), L"BBB2");
    EXPECT_EQ(DevicePageHost::ListText(list, 1, 2), L"X");

    // The mark follows the selection once the device list is read again.
    Control("select AAA1");
    m_host->RefreshDevices();
    m_devicesPage->RefreshForm();
    EXPECT_EQ(DevicePageHost::ListText(list, 0, 2), L"X");
    EXPECT_EQ(DevicePageHost::ListText(list, 1, 2), L"");
}

TEST_F(FormDevicePagesTest, SelectButtonFollowsTheListSelectionAndDoesNothingWithoutOne)
{
    Control("plug serial=AAA1");
    Control("plug serial=BBB2");
    Connect();
    CreateDevicesPage();
    HWND list = GetDlgItem(m_page, IDC_DEVICES_LIST);
    HWND button = GetDlgItem(m_page, IDC_DEVICES_SELECT);
    EXPECT_FALSE(IsWindowEnabled(button));

    // A click without a selection sends nothing and opens no box: a sent
    // request would fail here, as no service answers.
    {
        MessageBoxWatcher watcher;
        DevicePageHost::Click(m_page, IDC_DEVICES_SELECT);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    EXPECT_EQ(DevicePageHost::ListText(list, 0, 2), L"X");

    DevicePageHost::SelectItem(list, 1);
    EXPECT_TRUE(IsWindowEnabled(button));
    DevicePageHost::SelectItem(list, -1);
    EXPECT_FALSE(IsWindowEnabled(button));
    // A refresh empties the list, and with it the selection.
    DevicePageHost::SelectItem(list, 0);
    m_devicesPage->RefreshForm();
    EXPECT_FALSE(IsWindowEnabled(button));
}

TEST_F(FormDevicePagesTest, ModeRadiosFollowTheDriverAfterARefresh)
{
    Control("plug serial=AAA1");
    Control("plug serial=BBB2");
    Connect();
    CreateDevicesPage();
    EXPECT_TRUE(Checked(IDC_DEVICES_MODE_SINGLE));
    EXPECT_FALSE(Checked(IDC_DEVICES_MODE_ALL));
    EXPECT_EQ(m_devicesPage->Mode(), 0);

    Control("select all");
    m_devicesPage->RefreshForm();
    EXPECT_FALSE(Checked(IDC_DEVICES_MODE_SINGLE));
    EXPECT_TRUE(Checked(IDC_DEVICES_MODE_ALL));
    EXPECT_EQ(m_devicesPage->Mode(), 1);
}

TEST_F(FormDevicePagesTest, ColumnsShareTheListWidthAfterEveryResize)
{
    Control("plug serial=AAA1");
    Connect();
    CreateDevicesPage();
    HWND list = GetDlgItem(m_page, IDC_DEVICES_LIST);
    auto expectShares = [list](const char* when) {
        RECT client{};
        GetClientRect(list, &client);
        ASSERT_GT(client.right, 0) << when;
        EXPECT_EQ(ListView_GetColumnWidth(list, 0), client.right * 2 / 7) << when;
        EXPECT_EQ(ListView_GetColumnWidth(list, 1), client.right * 2 / 6) << when;
        EXPECT_EQ(ListView_GetColumnWidth(list, 2), client.right / 5) << when;
    };
    expectShares("as created");
    // The pane grows and shrinks the page: the columns follow the list's
    // new width, not the one it had before the resize.
    RECT page{};
    GetWindowRect(m_page, &page);
    const int width = page.right - page.left;
    const int height = page.bottom - page.top;
    SetWindowPos(m_page, nullptr, 0, 0, width + 200, height, SWP_NOZORDER | SWP_NOMOVE);
    expectShares("wider");
    SetWindowPos(m_page, nullptr, 0, 0, width - 60, height, SWP_NOZORDER | SWP_NOMOVE);
    expectShares("narrower");
}

TEST_F(FormDevicePagesTest, DeviceInfoTellsThePortAndTheSelection)
{
    CreateDevicePage("highspeed=1");
    Control("select DEV1");
    m_host->RefreshDevices();
    m_devicePage->RefreshForm();
    EXPECT_EQ(Text(IDC_DEVICE_INFO), L"quillo\nSerial: DEV1\n\nThis device is selected for streaming.");

    // On a USB 1.1 port the port wins over the selection.
    Control("set DEV1 highspeed 0");
    m_host->RefreshDevices();
    ASSERT_NE(Device().Info().flags & KORVEL_DEVICE_FLAG_STREAMING, 0u);
    m_devicePage->RefreshForm();
    EXPECT_EQ(Text(IDC_DEVICE_INFO),
              L"quillo\nSerial: DEV1\n\nConnected to USB 1.1 port. CANNOT stream audio!");

    EXPECT_STREQ(FormDevice::StatusLine(KORVEL_DEVICE_FLAG_HIGH_SPEED),
                 L"This device is not streaming.");
    EXPECT_STREQ(FormDevice::StatusLine(0), L"Connected to USB 1.1 port. CANNOT stream audio!");
}

TEST_F(FormDevicePagesTest, SpdifTextFollowsLockStateAndFormat)
{
    CreateDevicePage("spdif=1 lock=3 format=1 spdifrate=48000");
    EXPECT_EQ(Text(IDC_DEVICE_SPDIF_STATUS), L"Locked (PCM 48000 Hz)");

    struct Case
    {
        const char* command;
        const wchar_t* text;
    } cases[] = {
        {"set DEV1 spdif-rate 44100", L"Locked (PCM 44100 Hz)"},
        {"set DEV1 spdif-format 2", L"Locked (Non-PCM)"},
        {"set DEV1 spdif-format 0", L"Locked (unknown Format)"},
        {"set DEV1 spdif-format 9", L"invalid Format"},
        {"set DEV1 spdif-lock 2", L"Synchronizing"},
        {"set DEV1 spdif-lock 1", L"No Signal"},
        {"set DEV1 spdif-lock 0", L"Not Streaming"},
        {"set DEV1 spdif-present 0", L"SPDIF not available"},
    };
    for (const Case& c : cases) {
        Control(c.command);
        m_devicePage->RefreshForm();
        EXPECT_EQ(Text(IDC_DEVICE_SPDIF_STATUS), c.text) << c.command;
    }
    KorvelSpdifInputStatus odd{0, 7, 1, 48000};
    EXPECT_EQ(FormDevice::SpdifText(odd), L"invalid State");

    // Any other failure leaves no text.
    Control("set DEV1 spdif-present 1");
    Control("fault fail " + Hex(IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS) + " " +
            Hex(KORVEL_STATUS_INVALID_STATE));
    m_devicePage->RefreshForm();
    EXPECT_EQ(Text(IDC_DEVICE_SPDIF_STATUS), L"");
}

TEST_F(FormDevicePagesTest, DeviceWithoutSpdifSaysSoFromTheStart)
{
    CreateDevicePage("spdif=0");
    EXPECT_EQ(Text(IDC_DEVICE_SPDIF_STATUS), L"SPDIF not available");
}

TEST_F(FormDevicePagesTest, PassThroughAndBypassReachTheDeviceAndStick)
{
    CreateDevicePage("spdif=1");
    EXPECT_FALSE(Checked(IDC_DEVICE_SPDIF_PASS_THROUGH));
    EXPECT_FALSE(Checked(IDC_DEVICE_VOLUME_BYPASS));

    DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_SPDIF_PASS_THROUGH);
    DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_VOLUME_BYPASS);
    bool passThrough = false;
    ASSERT_EQ(Device().GetSpdifPassThrough(0, 0, passThrough), 0u);
    EXPECT_TRUE(passThrough);
    uint8_t bypass = 0;
    ASSERT_EQ(Device().GetVolumeBypass(bypass), 0u);
    EXPECT_EQ(bypass, 1u);

    // A refresh reads them back; a state set elsewhere shows too.
    m_devicePage->RefreshForm();
    EXPECT_TRUE(Checked(IDC_DEVICE_SPDIF_PASS_THROUGH));
    EXPECT_TRUE(Checked(IDC_DEVICE_VOLUME_BYPASS));
    Control("set DEV1 bypass 0");
    m_devicePage->RefreshForm();
    EXPECT_FALSE(Checked(IDC_DEVICE_VOLUME_BYPASS));
    EXPECT_TRUE(Checked(IDC_DEVICE_SPDIF_PASS_THROUGH));
}

TEST_F(FormDevicePagesTest, FailedSetsShowTheirBoxAndClearTheirBox)
{
    CreateDevicePage("spdif=0");
    {
        // The driver refuses pass-through on a device without SPDIF.
        MessageBoxWatcher watcher;
        DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_SPDIF_PASS_THROUGH);
        const auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].owner, GetAncestor(m_page, GA_ROOT)); // a child page: its frame owns the box
        EXPECT_EQ(boxes[0].text, L"Set SPDIF pass through failed. (Status=KORVEL_STATUS_OBJECT_NOT_FOUND).");
        EXPECT_EQ(boxes[0].icon, MessageBoxWatcher::ErrorIcon());
    }
    EXPECT_FALSE(Checked(IDC_DEVICE_SPDIF_PASS_THROUGH));

    Control("fault fail " + Hex(IOCTL_KORVEL_SET_VOLUME_BYPASS) + " " +
            Hex(KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE));
    {
        MessageBoxWatcher watcher;
        DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_VOLUME_BYPASS);
        const auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, L"Set Bypass volume failed. (Status=KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE).\n"
                                 L"The device is not connected to a USB high-speed port.");
    }
    EXPECT_FALSE(Checked(IDC_DEVICE_VOLUME_BYPASS));
    uint8_t bypass = 1;
    ASSERT_EQ(Device().GetVolumeBypass(bypass), 0u);
    EXPECT_EQ(bypass, 0u);
}

TEST_F(FormDevicePagesTest, PageOfARemovedDeviceEmptiesItsTextsAndIgnoresClicks)
{
    CreateDevicePage("spdif=1 lock=1");
    EXPECT_EQ(Text(IDC_DEVICE_SPDIF_STATUS), L"No Signal");
    Control("unplug DEV1");
    m_host->RefreshDevices();
    m_devicePage->RefreshForm();
    EXPECT_EQ(Text(IDC_DEVICE_SPDIF_STATUS), L"");
    EXPECT_EQ(Text(IDC_DEVICE_INFO), L"");
    MessageBoxWatcher watcher;
    DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_SPDIF_PASS_THROUGH);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(FormDevicePagesTest, MixerButtonsShowTheirWindows)
{
    // Small mixers: what is tested is which button shows which window; how
    // long full-size mixers take to open is measured by the panel benchmark.
    Control("plug serial=DEV1 analog-in=2 analog-out=2 virtual=2");
    Connect();
    const KorvelDeviceKey key = m_host->Client().DeviceAt(0)->Info().key;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    FormMixer inputs(m_host->Client(), key.word0, key.word1, true);
    FormMixer outputs(m_host->Client(), key.word0, key.word1, false);
    ASSERT_NE(inputs.CreateMixer(instance, m_host->Frame()), nullptr);
    ASSERT_NE(outputs.CreateMixer(instance, m_host->Frame()), nullptr);
    m_devicePage = std::make_unique<FormDevice>(m_host->Client(), m_host->Frame(), key.word0,
                                                key.word1, &inputs, &outputs);
    ASSERT_NE(m_devicePage->CreateForm(instance, m_host->Frame()), nullptr);
    m_page = m_devicePage->GetFormWindow();
    DevicePageHost::Click(m_page, IDC_DEVICE_OUTPUT_MIXER);
    EXPECT_TRUE(IsWindowVisible(outputs));
    EXPECT_EQ(WtlWindow(outputs).GetWindowText(), L"Software Outputs Mixer - quillo (DEV1)");
    EXPECT_FALSE(IsWindowVisible(inputs));
    DevicePageHost::Click(m_page, IDC_DEVICE_INPUT_MIXER);
    EXPECT_TRUE(IsWindowVisible(inputs));
    EXPECT_EQ(WtlWindow(inputs).GetWindowText(), L"Hardware Inputs Mixer - quillo (DEV1)");
}

class FormStatusInfoTest : public InProcessSimTest
{
protected:
    void SetUp() override
    {
        InProcessSimTest::SetUp();
        Control("plug serial=DEV1");
        m_host = std::make_unique<DevicePageHost>();
        ASSERT_EQ(m_host->Connect(), 0u);
        m_page = std::make_unique<FormStatusInfo>(m_host->Client());
        ASSERT_NE(m_page->CreateForm(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
        m_list = GetDlgItem(m_page->GetFormWindow(), IDC_STATUS_LIST);
    }
    void TearDown() override
    {
        m_page.reset();
        m_host.reset();
        InProcessSimTest::TearDown();
    }

    // The text colour the page answers for the Value cell of `row`.
    COLORREF DrawnColor(int row, int column)
    {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr.hwndFrom = m_list;
        draw.nmcd.hdr.idFrom = IDC_STATUS_LIST;
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        draw.iSubItem = column;
        draw.clrText = RGB(1, 2, 3);
        HWND page = m_page->GetFormWindow();
        SendMessageW(page, WM_NOTIFY, IDC_STATUS_LIST, reinterpret_cast<LPARAM>(&draw));
        EXPECT_EQ(GetWindowLongPtrW(page, DWLP_MSGRESULT), CDRF_NEWFONT);
        return draw.clrText;
    }

    std::wstring Value(int row) { return DevicePageHost::ListText(m_list, row, 1); }

    std::unique_ptr<DevicePageHost> m_host;
    std::unique_ptr<FormStatusInfo> m_page;
    HWND m_list = nullptr;
};

TEST_F(FormStatusInfoTest, ListsTheFiveCountersWithTheirDescriptions)
{
    ASSERT_EQ(ListView_GetItemCount(m_list), 5);
    const wchar_t* names[] = {L"Streaming Error Count", L"FIFO Error Count", L"ASIO Error Count",
                              L"WDM Audio Error Count", L"WDM MIDI Error Count"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(DevicePageHost::ListText(m_list, i, 0), names[i]);
    }
    EXPECT_EQ(ListView_GetColumnWidth(m_list, 0), 150);
    EXPECT_EQ(ListView_GetColumnWidth(m_list, 1), 100);
    HWND page = m_page->GetFormWindow();
    EXPECT_EQ(DevicePageHost::Text(page, IDC_STATUS_DESCRIPTION),
              L"Select a counter to see its description.");
    DevicePageHost::SelectItem(m_list, 1);
    EXPECT_EQ(DevicePageHost::Text(page, IDC_STATUS_DESCRIPTION),
              L"This counter is incremented if an interruption in the isochronous USB stream is "
              L"detected by the hardware. This could be caused by CRC errors on the USB. Try to use "
              L"another cable, or a shorter cable, or try to use a different USB port on your PC.");
    DevicePageHost::SelectItem(m_list, -1);
    EXPECT_EQ(DevicePageHost::Text(page, IDC_STATUS_DESCRIPTION),
              L"Select a counter to see its description.");

    Control("counters 1 2 3 4 4294967295");
    m_page->RefreshForm();
    const wchar_t* values[] = {L"1", L"2", L"3", L"4", L"4294967295"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Value(i), values[i]);
    }
}

TEST_F(FormStatusInfoTest, CounterTurnsRedWithinASecondWhileShownAndHidingStopsThePolling)
{
    m_page->ShowForm();
    EXPECT_EQ(m_page->TimerId(), FormStatusInfo::TIMER_ID);
    EXPECT_EQ(Value(2), L"0");
    EXPECT_EQ(DrawnColor(2, 1), RGB(0, 0, 0));

    Control("counter 3 1");
    ASSERT_TRUE(DevicePageHost::PumpUntil([&] { return Value(2) == L"1"; }, kTimerWaitMs))
        << "the 1 s timer did not bring the new ASIO error count within " << kTimerWaitMs << " ms";
    EXPECT_EQ(DrawnColor(2, 1), RGB(255, 0, 0));
    EXPECT_EQ(DrawnColor(2, 0), RGB(0, 0, 0)); // only the value is red
    EXPECT_EQ(DrawnColor(1, 1), RGB(0, 0, 0));

    // Earlier stages ask for the cells' notifications.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = {m_list, IDC_STATUS_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    HWND page = m_page->GetFormWindow();
    SendMessageW(page, WM_NOTIFY, IDC_STATUS_LIST, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(GetWindowLongPtrW(page, DWLP_MSGRESULT), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    SendMessageW(page, WM_NOTIFY, IDC_STATUS_LIST, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(GetWindowLongPtrW(page, DWLP_MSGRESULT), CDRF_NOTIFYSUBITEMDRAW);

    m_page->HideForm();
    EXPECT_EQ(m_page->TimerId(), 0u);
    // No timer of that id is left on the page window.
    EXPECT_FALSE(KillTimer(page, FormStatusInfo::TIMER_ID));

    // Showing again starts one timer; destroying the page stops it.
    m_page->ShowForm();
    m_page->ShowForm();
    EXPECT_EQ(m_page->TimerId(), FormStatusInfo::TIMER_ID);
    DestroyWindow(page);
    EXPECT_EQ(m_page->TimerId(), 0u);
}

TEST_F(FormStatusInfoTest, FailedReadKeepsTheValues)
{
    Control("counters 5 0 0 0 0");
    m_page->RefreshForm();
    Control("counters 6 0 0 0 0");
    Control("fault fail " + Hex(IOCTL_KORVEL_GET_STATUS_COUNTERS) + " " +
            Hex(KORVEL_STATUS_INVALID_STATE));
    m_page->RefreshForm();
    EXPECT_EQ(Value(0), L"5");
    m_host->Client().CloseAll();
    m_page->RefreshForm();
    EXPECT_EQ(Value(0), L"5");
}

class FormDrvInfoTest : public FormDevicePagesTest
{
};

TEST_F(FormDrvInfoTest, ShowsDriverAndInterfaceVersionWithBuildType)
{
    Control("plug serial=DEV1");
    Connect();
    FormDrvInfo page(m_host->Client());
    ASSERT_NE(page.CreateForm(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
    KorvelVersionInfo version{};
    ASSERT_EQ(m_host->Client().GetVersion(version), 0u);
    const std::wstring interfaceVersion =
        std::to_wstring(version.interfaceMajor) + L"." + std::to_wstring(version.interfaceMinor);

    page.RefreshForm();
    EXPECT_EQ(DevicePageHost::Text(page.GetFormWindow(), IDC_DRVINFO_TEXT),
              L"\nDriver version: \t  4.12.7\nBuild type: \t  release \n\nInterface version: " +
                  interfaceVersion + L"\n");
    Control("debug 1");
    page.RefreshForm();
    EXPECT_EQ(DevicePageHost::Text(page.GetFormWindow(), IDC_DRVINFO_TEXT),
              L"\nDriver version: \t  4.12.7\nBuild type: \t  debug \n\nInterface version: " +
                  interfaceVersion + L"\n");

    // Without the driver the text stays.
    m_host->Client().CloseAll();
    Control("debug 0");
    page.RefreshForm();
    EXPECT_NE(DevicePageHost::Text(page.GetFormWindow(), IDC_DRVINFO_TEXT).find(L"debug"),
              std::wstring::npos);
}

} // namespace
