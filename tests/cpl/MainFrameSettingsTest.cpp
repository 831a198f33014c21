// The frame keeps the settings pages and the status bar current when another
// client changes a setting through the device control service, and tells the
// user plainly when the service is gone or does not answer.
#include "CplCommandLine.h"
#include "FormErrorBox.h"
#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "KorvelServer.h"
#include "MainFrame.h"
#include "ServerHarness.h"
#include "SettingsPageProbe.h"
#include "MessageBoxWatcher.h"
#include "WnPostWindowMessageThread.h"
#include "WtlTestHost.h"
#include "resource.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using cpl_test::TestInstance;
using cpl_test::TreeItemText;
using P = cpl_test::SettingsPageProbe;

namespace {

constexpr DWORD kWaitMs = 10000; // far beyond a notification's way on a loaded machine

bool PumpUntil(const std::function<bool()>& done)
{
    return cpl_test::PumpUntil(done, kWaitMs);
}

// The page of the root tree item with `text`, or null.
FormBase* RootPage(HWND tree, const std::wstring& text)
{
    for (HTREEITEM item = TreeView_GetRoot(tree); item != nullptr;
         item = TreeView_GetNextSibling(tree, item)) {
        if (TreeItemText(tree, item) == text) {
            TVITEMW data{};
            data.mask = TVIF_PARAM;
            data.hItem = item;
            TreeView_GetItem(tree, &data);
            return reinterpret_cast<FormBase*>(data.lParam);
        }
    }
    return nullptr;
}

class MainFrameSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_harness.StartSim(1), 0u);
        m_harness.StartServe(m_server);
        ASSERT_TRUE(m_harness.SyncWithServer());
        ASSERT_TRUE(m_frame.CreateFrame(RECT{100, 100, 650, 520}) != nullptr);
    }
    void TearDown() override
    {
        m_frame.DestroyWindow();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, m_placementKey.c_str());
        m_harness.StopServe();
    }

    ServerHarness m_harness;
    KorvelServer m_server;
    std::wstring m_placementKey =
        L"Software\\VANTREL\\quillo\\cpl-test-" + std::to_wstring(GetCurrentProcessId());
    KorvelCplClient m_client;
    WnPostWindowMessageThread m_thread;
    CplCommandLine m_commandLine{L"quillocpl.exe -notray"};
    MainFrame m_frame{TestInstance(), m_client, m_thread, m_commandLine, nullptr, m_placementKey.c_str()};
};

} // namespace

TEST_F(MainFrameSettingsTest, ARateSetByAnotherClientRefreshesTheShownPageAndTheStatusBar)
{
    HWND tree = m_frame.PageTree().GetTree();
    FormBase* ratePage = RootPage(tree, L"Sample Rate");
    ASSERT_NE(ratePage, nullptr);
    ASSERT_EQ(m_frame.CurrentPage(), ratePage) << "the first item is shown at start";
    EXPECT_EQ(P::Selected(*ratePage, IDC_SAMPLERATE_LIST), L"48.000 kHz");
    EXPECT_EQ(m_frame.StatusBar().GetPaneText(2), L"Current sampling rate: 48.000 kHz");

    ASSERT_EQ(m_harness.Client().SetSampleRate(44100), 0u);
    EXPECT_TRUE(PumpUntil([&] {
        return P::Selected(*ratePage, IDC_SAMPLERATE_LIST) == L"44.100 kHz" &&
               m_frame.StatusBar().GetPaneText(2) == L"Current sampling rate: 44.100 kHz";
    })) << "waited for the page and pane 2 to show 44.100 kHz";
}

TEST_F(MainFrameSettingsTest, RateNotificationRefreshesTheRatePageAndSettingsBothPages)
{
    HWND tree = m_frame.PageTree().GetTree();
    FormBase* ratePage = RootPage(tree, L"Sample Rate");
    FormBase* bufferPage = RootPage(tree, L"Buffer Settings");
    ASSERT_NE(ratePage, nullptr);
    ASSERT_NE(bufferPage, nullptr);
    bufferPage->RefreshForm();
    ASSERT_EQ(P::Selected(*bufferPage, IDC_BUFFER_STREAM_LIST), L"Small");

    // Changed in the driver; the queued notifications are not drained here,
    // so only the dispatched one acts.
    m_harness.Control("rate 96000");
    m_harness.Control("buffers 3 3");
    KorvelMessage event;
    event.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
    m_frame.DispatchDriverEvent(event);
    EXPECT_EQ(P::Selected(*ratePage, IDC_SAMPLERATE_LIST), L"96.000 kHz");
    EXPECT_EQ(m_frame.StatusBar().GetPaneText(2), L"Current sampling rate: 96.000 kHz");
    EXPECT_EQ(P::Selected(*bufferPage, IDC_BUFFER_STREAM_LIST), L"Small") << "3011 is the rate only";

    event.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_SETTINGS_CHANGED);
    m_frame.DispatchDriverEvent(event);
    EXPECT_EQ(P::Selected(*bufferPage, IDC_BUFFER_STREAM_LIST), L"Large");
    EXPECT_EQ(P::Selected(*bufferPage, IDC_BUFFER_ASIO_LIST), L"Maximum");
}

TEST_F(MainFrameSettingsTest, AServiceThatIsGoneOrSilentIsNamedInTheBoxAndTheStatusBar)
{
    FormBase* ratePage = RootPage(m_frame.PageTree().GetTree(), L"Sample Rate");
    ASSERT_NE(ratePage, nullptr);
    HWND page = ratePage->GetFormWindow();
    auto apply = [page] {
        cpl_test::MessageBoxWatcher watcher;
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SAMPLERATE_APPLY, BN_CLICKED), 0);
        const auto boxes = watcher.Boxes();
        return boxes.size() == 1 ? boxes[0].text : std::wstring(L"<no single box>");
    };
    auto pane = [this] { return m_frame.StatusBar().GetPaneText(0); };
    EXPECT_EQ(pane(), L"Ready");

    m_harness.StopServe();
    m_server.CloseAll();
    // The simulator lets go of the server once it has seen the connection close.
    ASSERT_TRUE(PumpUntil([&] { return m_harness.Control("stats").find(" server=- ") != std::string::npos; }));
    EXPECT_EQ(apply(), FormErrorBox::Text(L"Changing the sample rate failed.", KORVEL_STATUS_NO_SERVER));
    EXPECT_TRUE(PumpUntil([&] { return pane() == L"The quillo service is not running."; }));

    // A service that takes the request and never answers: the window waits
    // the panel's few seconds, not a background client's 30.
    KorvelClient silent;
    ASSERT_EQ(silent.OpenTyped(KORVEL_CONTROL_DEVICE_NAME, KORVEL_CLIENT_SERVER, true, true), 0u);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(apply(), FormErrorBox::Text(L"Changing the sample rate failed.", KORVEL_STATUS_TIMEOUT));
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_LT(waited, 15000u) << "the window was stalled for " << waited << " ms";
    EXPECT_TRUE(PumpUntil([&] { return pane() == L"The quillo service does not answer."; }));

    // A notification of the service: it answers again.
    KorvelMessage event;
    event.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_SETTINGS_CHANGED);
    m_frame.DispatchDriverEvent(event);
    EXPECT_EQ(pane(), L"Ready");
    silent.CloseAll();
}
