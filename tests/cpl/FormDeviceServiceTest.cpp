// The requests of the device pages that the service answers: choosing the
// streaming device and the mode, and the policy bit, with a device server
// running against the in-process simulator.
#include "CAboutDlg.h"
#include "CustomServer.h"
#include "DevicePageHost.h"
#include "FormDevice.h"
#include "FormDevices.h"
#include "KorvelStatus.h"
#include "MessageBoxWatcher.h"
#include "ServerHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

using cpl_test::DevicePageHost;
using cpl_test::MessageBoxWatcher;

namespace {

class FormDeviceServiceTest : public ::testing::Test
{
protected:
    // Two devices, the server on them, the panel client connected.
    void SetUp() override
    {
        ASSERT_EQ(m_harness.StartSim(0), 0u);
        ASSERT_EQ(m_harness.Control("plug serial=AAA1").rfind("OK", 0), 0u);
        ASSERT_EQ(m_harness.Control("plug serial=BBB2").rfind("OK", 0), 0u);
        m_harness.Client();
        m_harness.StartServe(m_server);
        ASSERT_TRUE(m_harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED))
            << "the server did not announce its devices";
        m_host = std::make_unique<DevicePageHost>();
        ASSERT_EQ(m_host->Connect(), 0u);
        ASSERT_EQ(m_host->Client().DeviceCount(), 2u);
    }
    void TearDown() override
    {
        m_devicesPage.reset();
        m_devicePage.reset();
        m_host.reset();
        m_harness.StopServe();
    }

    void CreateDevicesPage()
    {
        m_devicesPage = std::make_unique<FormDevices>(m_host->Client());
        ASSERT_NE(m_devicesPage->CreateForm(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
        m_page = m_devicesPage->GetFormWindow();
        m_devicesPage->RefreshForm();
        m_list = GetDlgItem(m_page, IDC_DEVICES_LIST);
    }

    void CreateDevicePage()
    {
        const KorvelDeviceKey key = m_host->Client().DeviceAt(0)->Info().key;
        m_devicePage = std::make_unique<FormDevice>(m_host->Client(), m_host->Frame(), key.word0,
                                                    key.word1, nullptr, nullptr);
        ASSERT_NE(m_devicePage->CreateForm(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
        m_page = m_devicePage->GetFormWindow();
    }

    // The device list read again and shown, as after the frame's 3040.
    void RefreshAll()
    {
        m_host->RefreshDevices();
        m_devicesPage->RefreshForm();
    }

    uint32_t Policy()
    {
        uint32_t policy = 0;
        EXPECT_EQ(m_host->Client().GetPolicy(policy), 0u);
        return policy;
    }

    ServerHarness m_harness;
    CustomServer m_server;
    std::unique_ptr<DevicePageHost> m_host;
    std::unique_ptr<FormDevices> m_devicesPage;
    std::unique_ptr<FormDevice> m_devicePage;
    HWND m_page = nullptr;
    HWND m_list = nullptr;
};

TEST_F(FormDeviceServiceTest, SelectForStreamingMovesTheMark)
{
    CreateDevicesPage();
    ASSERT_EQ(DevicePageHost::ListText(m_list, 0, 2), L"X");
    DevicePageHost::SelectItem(m_list, 1);
    {
        MessageBoxWatcher watcher;
        DevicePageHost::Click(m_page, IDC_DEVICES_SELECT);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    RefreshAll();
    EXPECT_EQ(DevicePageHost::ListText(m_list, 0, 2), L"");
    EXPECT_EQ(DevicePageHost::ListText(m_list, 1, 2), L"X");
}

TEST_F(FormDeviceServiceTest, RefusedSelectionShowsTheErrorBox)
{
    CreateDevicesPage();
    // An ASIO client streams: the service refuses every device change.
    ASSERT_EQ(m_harness.Control("activity 2 1").rfind("OK", 0), 0u);
    DevicePageHost::SelectItem(m_list, 1);
    {
        MessageBoxWatcher watcher;
        DevicePageHost::Click(m_page, IDC_DEVICES_SELECT);
        const auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].owner, GetAncestor(m_page, GA_ROOT)); // a child page: its frame owns the box
        EXPECT_EQ(boxes[0].text,
                  L"Selecting the streaming device failed. (Status=KORVEL_STATUS_SOUND_DEVICE_IN_USE).");
        EXPECT_EQ(boxes[0].icon, MessageBoxWatcher::ErrorIcon());
    }
    RefreshAll();
    EXPECT_EQ(DevicePageHost::ListText(m_list, 0, 2), L"X");
}

TEST_F(FormDeviceServiceTest, ModeRadiosSwitchModeAndKeepTheStreamingDevice)
{
    ASSERT_EQ(m_harness.Control("select BBB2").rfind("OK", 0), 0u);
    m_host->RefreshDevices();
    CreateDevicesPage();
    MessageBoxWatcher watcher;
    CheckRadioButton(m_page, IDC_DEVICES_MODE_SINGLE, IDC_DEVICES_MODE_ALL, IDC_DEVICES_MODE_ALL);
    DevicePageHost::Click(m_page, IDC_DEVICES_MODE_ALL);
    EXPECT_EQ(m_devicesPage->Mode(), 1);
    KorvelStreamingState state{};
    ASSERT_EQ(m_host->Client().GetStreamingState(state), 0u);
    EXPECT_EQ(state.mode, 1u);

    // Back to one device: the device streaming before stays the one.
    CheckRadioButton(m_page, IDC_DEVICES_MODE_SINGLE, IDC_DEVICES_MODE_ALL, IDC_DEVICES_MODE_SINGLE);
    DevicePageHost::Click(m_page, IDC_DEVICES_MODE_SINGLE);
    EXPECT_TRUE(watcher.Boxes().empty());
    ASSERT_EQ(m_host->Client().GetStreamingState(state), 0u);
    EXPECT_EQ(state.mode, 0u);
    RefreshAll();
    EXPECT_TRUE(DevicePageHost::IsChecked(m_page, IDC_DEVICES_MODE_SINGLE));
    EXPECT_EQ(DevicePageHost::ListText(m_list, 1, 2), L"X");
}

TEST_F(FormDeviceServiceTest, ForbidBoxKeepsEveryOtherPolicyBit)
{
    ASSERT_EQ(m_harness.Control("policy 6").rfind("OK", 0), 0u);
    CreateDevicePage();
    EXPECT_FALSE(DevicePageHost::IsChecked(m_page, IDC_DEVICE_FORBID_RATE_CHANGE));
    DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_FORBID_RATE_CHANGE);
    EXPECT_EQ(Policy(), 7u);
    DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_FORBID_RATE_CHANGE);
    EXPECT_EQ(Policy(), 6u);
    ASSERT_EQ(m_harness.Control("policy 0x80000001").rfind("OK", 0), 0u);
    m_devicePage->RefreshForm();
    EXPECT_TRUE(DevicePageHost::IsChecked(m_page, IDC_DEVICE_FORBID_RATE_CHANGE));
}

TEST_F(FormDeviceServiceTest, RefusedPolicyShowsTheErrorBoxAndUnchecks)
{
    CreateDevicePage();
    ASSERT_EQ(m_harness.Control("activity 2 1").rfind("OK", 0), 0u);
    MessageBoxWatcher watcher;
    DevicePageHost::ToggleAndClick(m_page, IDC_DEVICE_FORBID_RATE_CHANGE);
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Changing the policy failed. (Status=KORVEL_STATUS_SOUND_DEVICE_IN_USE).");
    EXPECT_FALSE(DevicePageHost::IsChecked(m_page, IDC_DEVICE_FORBID_RATE_CHANGE));
    EXPECT_EQ(Policy(), 0u);
}

// The about box with its link opener recorded instead of a browser.
class RecordingAboutDlg : public CAboutDlg
{
public:
    std::wstring opened;

protected:
    void OpenAddress(const wchar_t* address) override { opened = address; }
};

struct CaptionSearch
{
    const wchar_t* caption;
    HWND found;
};

// An enumeration callback: stdcall on i686, so a plain function, not a lambda.
BOOL CALLBACK MatchCaption(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<CaptionSearch*>(data);
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    if (std::wstring(text) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindThreadWindow(DWORD threadId, const wchar_t* caption)
{
    CaptionSearch search{caption, nullptr};
    EnumThreadWindows(threadId, MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(CAboutDlgTest, ModalBoxShowsVersionMakerAndOpensTheLink)
{
    DevicePageHost host;
    RecordingAboutDlg about;
    const DWORD threadId = GetCurrentThreadId();
    std::wstring text;
    std::wstring link;
    std::atomic<bool> found{false};
    // Reads and closes the box from a second thread while DoModal runs here.
    std::thread reader([&] {
        HWND box = nullptr;
        const DWORD start = GetTickCount();
        while (box == nullptr && GetTickCount() - start < 10000) {
            box = FindThreadWindow(threadId, L"About Quillo Control Panel");
            Sleep(20);
        }
        if (box == nullptr) {
            return;
        }
        found = true;
        text = DevicePageHost::Text(box, IDC_ABOUT_TEXT);
        HWND linkWindow = GetDlgItem(box, IDC_ABOUT_LINK);
        LITEM item{};
        item.mask = LIF_ITEMINDEX | LIF_URL;
        item.iLink = 0;
        SendMessageW(linkWindow, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item));
        link = item.szUrl;
        NMLINK click{};
        click.hdr = {linkWindow, IDC_ABOUT_LINK, static_cast<UINT>(NM_CLICK)};
        click.item = item;
        SendMessageW(box, WM_NOTIFY, IDC_ABOUT_LINK, reinterpret_cast<LPARAM>(&click));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    const INT_PTR result = about.DoModal(GetModuleHandleW(nullptr), host.Frame());
    reader.join();
    ASSERT_TRUE(found) << "the about box did not open within 10 s";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(text, L"Vantrel Device Driver\nVersion 1.36.1\nCopyright (C) Vantrel");
    EXPECT_EQ(link, CAboutDlg::WEB_ADDRESS);
    EXPECT_EQ(about.opened, CAboutDlg::WEB_ADDRESS);
}

} // namespace
