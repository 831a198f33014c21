// The main frame in the test process against the in-process simulator: the
// page tree it builds for the device set, the status bar panes, the close
// of the connection when the last device leaves, and notifications that
// address no known device.
#include "CplCommandLine.h"
#include "InProcessSimTest.h"
#include "KorvelCplClient.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelMessage.h"
#include "MainFrame.h"
#include "ScriptedPipeServer.h"
#include "WnPostWindowMessageThread.h"
#include "WtlDpi.h"
#include "WtlTestHost.h"
#include "resource.h"

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using cpl_test::TestInstance;
using cpl_test::TreeItemText;

namespace {

constexpr DWORD kWaitMs = 10000; // far beyond a notification's way on a loaded machine

std::vector<std::wstring> ChildTexts(HWND tree, HTREEITEM parent)
{
    std::vector<std::wstring> texts;
    HTREEITEM item = parent == nullptr ? TreeView_GetRoot(tree) : TreeView_GetChild(tree, parent);
    for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        texts.push_back(TreeItemText(tree, item));
    }
    return texts;
}

HTREEITEM FindRootItem(HWND tree, const std::wstring& text)
{
    for (HTREEITEM item = TreeView_GetRoot(tree); item != nullptr;
         item = TreeView_GetNextSibling(tree, item)) {
        if (TreeItemText(tree, item) == text) {
            return item;
        }
    }
    return nullptr;
}

// Dispatches the test thread's messages until `done` holds; false after kWaitMs.
bool PumpUntil(const std::function<bool()>& done)
{
    return cpl_test::PumpUntil(done, kWaitMs);
}

// Owns the frame and the process objects the panel gives it; the placement
// goes to a key of this test program only.
class FrameUnderTest
{
public:
    FrameUnderTest()
        : m_placementKey(L"Software\\VANTREL\\quillo\\cpl-test-" +
                         std::to_wstring(GetCurrentProcessId())),
          m_frame(TestInstance(), m_client, m_thread, m_commandLine, nullptr,
                  m_placementKey.c_str())
    {
    }
    ~FrameUnderTest()
    {
        m_frame.DestroyWindow();
        // The frame posted its quit message; it must not end a later test's pump.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, m_placementKey.c_str());
    }

    bool Create() { return m_frame.CreateFrame(RECT{100, 100, 650, 520}) != nullptr; }
    HWND Tree() { return m_frame.PageTree().GetTree(); }
    std::wstring Pane(int pane) { return m_frame.StatusBar().GetPaneText(pane); }

    std::wstring m_placementKey;
    KorvelCplClient m_client;
    WnPostWindowMessageThread m_thread;
    CplCommandLine m_commandLine{L"quillocpl.exe -notray"};
    MainFrame m_frame;
};

class MainFrameTest : public InProcessSimTest
{
protected:
    void SetUp() override
    {
        InProcessSimTest::SetUp();
        Control("plug serial=CPL1");
        Control("plug serial=CPL2 echo=1");
        Control("rate 48000");
    }

    void TearDown() override
    {
        m_ui.reset();
        InProcessSimTest::TearDown();
    }

    FrameUnderTest& CreateFrame()
    {
        m_ui = std::make_unique<FrameUnderTest>();
        EXPECT_TRUE(m_ui->Create());
        return *m_ui;
    }

    std::unique_ptr<FrameUnderTest> m_ui;
};

} // namespace

TEST_F(MainFrameTest, TwoDevicesTheSecondWithEchoGiveTheFixedItemsAndThreeDeviceChildren)
{
    FrameUnderTest& ui = CreateFrame();
    ASSERT_TRUE(ui.m_client.IsOpen());
    EXPECT_TRUE(ui.m_thread.IsRunning());
    HWND tree = ui.Tree();
    EXPECT_TRUE(IsWindowEnabled(tree));
    EXPECT_EQ(ChildTexts(tree, nullptr),
              (std::vector<std::wstring>{L"Sample Rate", L"Buffer Settings", L"Devices",
                                         L"ASIO IN Channels", L"ASIO OUT Channels",
                                         L"Status Info", L"Driver Info"}));
    HTREEITEM devices = FindRootItem(tree, L"Devices");
    ASSERT_NE(devices, nullptr);
    EXPECT_EQ(ChildTexts(tree, devices),
              (std::vector<std::wstring>{L"quillo (CPL1)", L"quillo (CPL2)", L"Plugin1"}));
    EXPECT_EQ(ui.m_frame.DevicePageCount(), 2u);
    EXPECT_EQ(ui.m_frame.PluginPageCount(), 1u);
    // Each device's page is found by its key.
    for (size_t i = 0; i < ui.m_client.DeviceCount(); ++i) {
        EXPECT_NE(ui.m_frame.DevicePageFor(ui.m_client.DeviceAt(i)->Info().key), nullptr) << i;
    }
    // The first item is selected and shown; a page is not the "no device" page.
    EXPECT_EQ(TreeItemText(tree, TreeView_GetSelection(tree)), L"Sample Rate");
    EXPECT_EQ(ui.m_frame.CurrentPage(), ui.m_frame.PageTree().GetSelectedPage());
    EXPECT_NE(ui.m_frame.CurrentPage(), ui.m_frame.NoDevicePage());

    // Selecting another item shows its page.
    HTREEITEM last = TreeView_GetNextSibling(tree, devices);
    ASSERT_TRUE(TreeView_SelectItem(tree, last));
    EXPECT_EQ(ui.m_frame.CurrentPage(), ui.m_frame.PageTree().GetSelectedPage());
    EXPECT_TRUE(IsWindowVisible(ui.m_frame.CurrentPage()->GetFormWindow()) ||
                !IsWindowVisible(ui.m_frame.m_hWnd));
}

TEST_F(MainFrameTest, TwoDevicesAreToldApartByTheirSerialsInTheTreeAndTheDeviceList)
{
    FrameUnderTest& ui = CreateFrame();
    HWND tree = ui.Tree();
    HTREEITEM devices = FindRootItem(tree, L"Devices");
    ASSERT_NE(devices, nullptr);
    // Each named item leads to the page of the device with that serial.
    const wchar_t* serials[] = {L"CPL1", L"CPL2"};
    HTREEITEM item = TreeView_GetChild(tree, devices);
    for (const wchar_t* serial : serials) {
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(TreeItemText(tree, item), std::wstring(L"quillo (") + serial + L")");
        ASSERT_TRUE(TreeView_SelectItem(tree, item));
        const KorvelDevice* device = nullptr;
        for (size_t i = 0; i < ui.m_client.DeviceCount(); ++i) {
            if (std::wstring(ui.m_client.DeviceAt(i)->Info().serialNumber) == serial) {
                device = ui.m_client.DeviceAt(i);
            }
        }
        ASSERT_NE(device, nullptr) << "the simulator's device " << serial;
        EXPECT_EQ(ui.m_frame.CurrentPage(), ui.m_frame.DevicePageFor(device->Info().key));
        item = TreeView_GetNextSibling(tree, item);
    }

    ASSERT_TRUE(TreeView_SelectItem(tree, devices));
    HWND list = GetDlgItem(ui.m_frame.CurrentPage()->GetFormWindow(), IDC_DEVICES_LIST);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(ListView_GetItemCount(list), 2);
    std::vector<std::wstring> names;
    for (int row = 0; row < 2; ++row) {
        wchar_t name[64] = {};
        wchar_t serial[64] = {};
        ListView_GetItemText(list, row, 0, name, 64);
        ListView_GetItemText(list, row, 1, serial, 64);
        EXPECT_EQ(std::wstring(name), std::wstring(L"quillo (") + serial + L")") << row;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"quillo (CPL1)", L"quillo (CPL2)"}));
}

TEST_F(MainFrameTest, ANewDpiMovesTheFrameToTheSuggestedRectangleAndScalesItsFixedSizes)
{
    FrameUnderTest& ui = CreateFrame();
    HWND frame = ui.m_frame;
    const UINT dpi = WtlDpi::ForWindow(frame);
    auto treeWidth = [&] {
        RECT pane{};
        GetWindowRect(ui.m_frame.PageTree().GetFormWindow(), &pane);
        return static_cast<int>(pane.right - pane.left);
    };
    const int before = treeWidth();
    EXPECT_EQ(before, WtlDpi::Scale(MainFrame::SPLITTER_POS, dpi));

    const UINT larger = dpi * 3 / 2;
    // Within the screen: a window is kept no larger than it.
    RECT suggested{40, 30, 40 + WtlDpi::Scale(600, larger), 30 + WtlDpi::Scale(450, larger)};
    SendMessageW(frame, WM_DPICHANGED, MAKEWPARAM(larger, larger), reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    GetWindowRect(frame, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested)) << now.left << "," << now.top << " " << now.right
                                             << "," << now.bottom;
    EXPECT_EQ(treeWidth(), MulDiv(before, static_cast<int>(larger), static_cast<int>(dpi)))
        << "the tree pane keeps its size to the eye";
    MINMAXINFO limits{};
    SendMessageW(frame, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, WtlDpi::Scale(MainFrame::MIN_TRACK_CX, larger));
    EXPECT_EQ(limits.ptMinTrackSize.y, WtlDpi::Scale(MainFrame::MIN_TRACK_CY, larger));
    int cx = 0;
    int cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(TreeView_GetImageList(ui.Tree(), TVSIL_NORMAL), &cx, &cy));
    EXPECT_EQ(cx, WtlDpi::Scale(MainFrame::TREE_ICON_SIZE, larger)) << "the tree's icons are made anew";
    // The client area is laid out again: the panes fill the new width.
    RECT client{};
    RECT panes{};
    GetClientRect(frame, &client);
    GetWindowRect(GetParent(ui.m_frame.PageTree().GetFormWindow()), &panes);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&panes), 2);
    EXPECT_EQ(panes.right, client.right);
}

TEST_F(MainFrameTest, StatusBarFollowsTheStreamingStateAndRate)
{
    FrameUnderTest& ui = CreateFrame();
    EXPECT_EQ(ui.Pane(2), L"Current sampling rate: 48.000 kHz");
    const wchar_t* texts[] = {L"Streaming state: Undefined", L"Streaming state: Down",
                              L"Streaming state: Ready",     L"Streaming state: Prepared",
                              L"Streaming state: Running",   L"Streaming state: Error",
                              L"Streaming not supported on USB 1.1 port."};
    for (int state = 0; state <= 6; ++state) {
        Control("state " + std::to_string(state));
        // The way a real change reaches the frame: a notification, the event
        // thread's message, the drain.
        Control("notify " + std::to_string(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED));
        EXPECT_TRUE(PumpUntil([&] { return ui.Pane(1) == texts[state]; }))
            << "state " << state << " shows '" << std::string(ui.Pane(1).begin(), ui.Pane(1).end())
            << "'";
    }
    Control("rate 44100");
    Control("notify " + std::to_string(KORVEL_NOTIFY_SETTINGS_CHANGED));
    EXPECT_TRUE(PumpUntil([&] { return ui.Pane(2) == L"Current sampling rate: 44.100 kHz"; }))
        << "the new rate never showed";
}

TEST_F(MainFrameTest, UnplugOfTheLastDeviceClosesTheConnectionAndPlugReopensIt)
{
    FrameUnderTest& ui = CreateFrame();
    ASSERT_TRUE(ui.m_client.IsOpen());
    Control("unplug CPL1");
    // The service tells the panels after the device list changed.
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICES_CHANGED));
    ASSERT_TRUE(PumpUntil([&] { return ui.m_frame.DevicePageCount() == 1; }))
        << "the first device's page never went";
    EXPECT_TRUE(ui.m_client.IsOpen()) << "one device is left";
    EXPECT_EQ(ChildTexts(ui.Tree(), FindRootItem(ui.Tree(), L"Devices")),
              (std::vector<std::wstring>{L"quillo (CPL2)", L"Plugin0"}));

    Control("unplug CPL2");
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICES_CHANGED));
    ASSERT_TRUE(PumpUntil([&] { return !ui.m_client.IsOpen(); }))
        << "the connection stayed open without devices";
    EXPECT_FALSE(ui.m_thread.IsRunning());
    EXPECT_EQ(ui.m_frame.CurrentPage(), ui.m_frame.NoDevicePage());
    EXPECT_EQ(TreeView_GetCount(ui.Tree()), 0u);
    EXPECT_FALSE(IsWindowEnabled(ui.Tree()));
    EXPECT_EQ(ui.Pane(1), L"Driver not available.");
    EXPECT_EQ(ui.Pane(2), L"");
    EXPECT_EQ(ui.m_frame.DevicePageCount(), 0u);

    // A device interface arrives: the connection opens again; the tree
    // follows when the driver reports the device set.
    Control("plug serial=CPL3");
    DEV_BROADCAST_DEVICEINTERFACE_W arrival{};
    arrival.dbcc_size = sizeof(arrival);
    arrival.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    arrival.dbcc_name[0] = L'\\';
    SendMessageW(ui.m_frame.m_hWnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(&arrival));
    EXPECT_TRUE(ui.m_client.IsOpen());
    EXPECT_TRUE(ui.m_thread.IsRunning());
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICES_CHANGED));
    ASSERT_TRUE(PumpUntil([&] { return ui.m_frame.DevicePageCount() == 1; }))
        << "the tree was not rebuilt after the arrival";
    EXPECT_TRUE(IsWindowEnabled(ui.Tree()));
    EXPECT_NE(ui.Pane(1), L"Driver not available.");
}

TEST_F(MainFrameTest, MixerNotificationsReachTheShownWindowsOfTheirDeviceOnly)
{
    // A small second device: under Wine a window built while another large
    // one is shown takes seconds.
    Control("unplug CPL2");
    Control("plug serial=CPL2 analog-in=2 analog-out=2 virtual=2");
    FrameUnderTest& ui = CreateFrame();
    ASSERT_EQ(ui.m_frame.MixerWindowCount(), 4u);
    FormMixer& inputs = ui.m_frame.MixerWindow(0);
    FormMixer& outputs = ui.m_frame.MixerWindow(1);
    FormMixer& otherOutputs = ui.m_frame.MixerWindow(3);
    ASSERT_TRUE(inputs.IsHardwareInputs());
    ASSERT_FALSE(outputs.IsHardwareInputs());
    otherOutputs.Show();
    outputs.Show();
    auto fader = [](FormMixer& mixer) {
        HWND strip = mixer.OutputStrip(0).GetFormWindow();
        return SendDlgItemMessageW(strip, IDC_STRIP_FADER_LEFT, TBM_GETPOS, 0, 0);
    };
    ASSERT_EQ(fader(outputs), 600);

    // Another client's gain and weight reach the open window without a click.
    Control("set CPL1 gain 0 0 -1000");
    EXPECT_TRUE(PumpUntil([&] { return fader(outputs) == 1600; })) << "3051 did not move the fader";
    Control("set CPL1 weight 0 0 2 0 -600 1");
    EXPECT_TRUE(PumpUntil([&] {
        return outputs.Crosspoints() != nullptr &&
               outputs.Crosspoints()->CellText(0, 0) == L"-6";
    })) << "3052 did not rewrite the cell";
    EXPECT_EQ(fader(otherOutputs), 600) << "the other device's window";

    // Pin changes rebuild the shown window only.
    Control("set CPL1 mixer 0");
    EXPECT_TRUE(PumpUntil([&] { return outputs.NoPinsText() != nullptr; }));
    EXPECT_EQ(GetWindow(inputs, GW_CHILD), nullptr);
    EXPECT_EQ(otherOutputs.ColumnCount(), 3u);
}

TEST_F(MainFrameTest, DeviceNotificationsWithAWrongPayloadOrAnUnknownKeyChangeNothing)
{
    FrameUnderTest& ui = CreateFrame();
    HWND tree = ui.Tree();
    const UINT count = TreeView_GetCount(tree);
    FormBase* current = ui.m_frame.CurrentPage();
    const uint32_t codes[] = {KORVEL_NOTIFY_DEVICE_STATUS_CHANGED, KORVEL_NOTIFY_MIXER_PINS_CHANGED,
                              KORVEL_NOTIFY_MIXER_GAINS_CHANGED,
                              KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED, 0xFFFFFFFFu};
    const KorvelDeviceKey unknown{0xDEAD, 0xBEEF};
    const KorvelDeviceKey known = ui.m_client.DeviceAt(0)->Info().key;
    for (uint32_t code : codes) {
        KorvelMessage event{};
        event.Init(KORVEL_MSG_TYPE_NOTIFICATION, code);
        ui.m_frame.DispatchDriverEvent(event); // no payload
        ASSERT_EQ(event.SetPayload(&unknown, sizeof(unknown)), 0u);
        ui.m_frame.DispatchDriverEvent(event);
        ASSERT_EQ(event.SetPayload(&known, 4), 0u); // half a key
        ui.m_frame.DispatchDriverEvent(event);
        uint8_t longer[KORVEL_MSG_MAX_PAYLOAD]{};
        ASSERT_EQ(event.SetPayload(longer, sizeof(longer)), 0u);
        ui.m_frame.DispatchDriverEvent(event);
        // A damaged record whose stated length exceeds the payload.
        event.payloadLength = 0xFFFFFFFFu;
        ui.m_frame.DispatchDriverEvent(event);
    }
    EXPECT_EQ(TreeView_GetCount(tree), count);
    EXPECT_EQ(ui.m_frame.CurrentPage(), current);
    EXPECT_TRUE(ui.m_client.IsOpen());
    EXPECT_EQ(ui.m_frame.DevicePageCount(), 2u);
    // The same through the simulator: the event thread and the drain.
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICE_STATUS_CHANGED));
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICE_STATUS_CHANGED) + " CPL2");
    Control("notify " + std::to_string(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED));
    Control("state 4");
    Control("notify " + std::to_string(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED));
    EXPECT_TRUE(PumpUntil([&] { return ui.Pane(1) == L"Streaming state: Running"; }))
        << "the notifications after the device-addressed ones were not handled";
    EXPECT_EQ(TreeView_GetCount(tree), count);
}

TEST_F(MainFrameTest, DevicesThatLeaveOrArriveWithoutTheServiceReachTheTree)
{
    // No service runs here: only the driver's own list change, the removal
    // and the arrival tell the frame.
    FrameUnderTest& ui = CreateFrame();
    ASSERT_EQ(ui.m_frame.DevicePageCount(), 2u);
    Control("unplug CPL1");
    EXPECT_TRUE(PumpUntil([&] { return ui.m_frame.DevicePageCount() == 1; }))
        << "the page of the device that left stayed";
    Control("unplug CPL2");
    EXPECT_TRUE(PumpUntil([&] { return ui.Pane(1) == L"Driver not available."; }));
    EXPECT_EQ(ui.m_frame.DevicePageCount(), 0u);
    EXPECT_EQ(ui.m_frame.CurrentPage(), ui.m_frame.NoDevicePage());

    // The simulator announces the plug; the frame hears it from its own
    // waiter, nobody sends it a message here.
    Control("plug serial=CPL3");
    EXPECT_TRUE(PumpUntil([&] {
        return ui.m_frame.DevicePageCount() == 1 && ui.Pane(1) != L"Driver not available.";
    })) << "the frame did not connect again after the plug";
    EXPECT_TRUE(IsWindowEnabled(ui.Tree()));
}

TEST_F(MainFrameTest, ADeadConnectionIsClosedAndOpenedAgainWhenTheDriverIsBack)
{
    FrameUnderTest& ui = CreateFrame();
    ASSERT_TRUE(ui.m_client.IsOpen());
    EXPECT_EQ(ui.m_frame.ConnectionTimerDelay(), MainFrame::CONNECTION_CHECK_MS);
    // The driver goes away (reloaded): no event tells the panel.
    const std::wstring nameSpace = m_sim.Namespace();
    m_sim.Stop();
    EXPECT_TRUE(PumpUntil([&] { return ui.Pane(1) == L"Driver not available."; }))
        << "the dead connection was never noticed";
    EXPECT_FALSE(ui.m_client.IsOpen());
    EXPECT_EQ(ui.m_frame.DevicePageCount(), 0u);
    EXPECT_EQ(TreeView_GetCount(ui.Tree()), 0u);

    // The driver comes back with one device: the frame tries again by itself.
    SimServerOptions options;
    options.nameSpace = nameSpace;
    ASSERT_EQ(m_sim.Start(options), 0u);
    Control("unplug CPL2");
    EXPECT_TRUE(PumpUntil([&] {
        return ui.m_frame.DevicePageCount() == 1 && ui.Pane(2) == L"Current sampling rate: 48.000 kHz";
    })) << "the frame did not connect again";
    EXPECT_TRUE(ui.m_thread.IsRunning());
    EXPECT_EQ(ui.m_frame.ConnectionTimerDelay(), MainFrame::CONNECTION_CHECK_MS);
}

TEST_F(MainFrameTest, PlugAndUnplugKeepTheShownPageAndOpenMixersOfTheDevicesThatStay)
{
    // Small devices: under Wine a large mixer window takes seconds to build.
    Control("unplug CPL1");
    Control("unplug CPL2");
    Control("plug serial=CPL1 analog-in=2 analog-out=2 virtual=2");
    Control("plug serial=CPL2 analog-in=2 analog-out=2 virtual=2");
    FrameUnderTest& ui = CreateFrame();
    const KorvelDeviceKey first = ui.m_client.DeviceAt(0)->Info().key;
    HWND tree = ui.Tree();
    HTREEITEM firstItem = TreeView_GetChild(tree, FindRootItem(tree, L"Devices"));
    ASSERT_TRUE(TreeView_SelectItem(tree, firstItem));
    FormBase* firstPage = ui.m_frame.DevicePageFor(first);
    ASSERT_EQ(ui.m_frame.CurrentPage(), firstPage);
    FormMixer* outputs = &ui.m_frame.MixerWindow(1);
    ASSERT_FALSE(outputs->IsHardwareInputs());
    outputs->Show();
    HWND mixerWindow = *outputs;
    ASSERT_TRUE(IsWindowVisible(mixerWindow));

    auto expectKept = [&](const char* when) {
        EXPECT_EQ(ui.m_frame.DevicePageFor(first), firstPage) << when;
        EXPECT_EQ(ui.m_frame.CurrentPage(), firstPage) << when;
        EXPECT_EQ(ui.m_frame.PageTree().GetSelectedPage(), firstPage) << when;
        EXPECT_TRUE(IsWindowVisible(mixerWindow)) << when << ": the open mixer was closed";
        EXPECT_EQ(&ui.m_frame.MixerWindow(1), outputs) << when;
    };
    Control("plug serial=CPL3 analog-in=2 analog-out=2 virtual=2");
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICES_CHANGED));
    ASSERT_TRUE(PumpUntil([&] { return ui.m_frame.DevicePageCount() == 3; }));
    expectKept("after a plug");
    Control("unplug CPL2");
    ASSERT_TRUE(PumpUntil([&] { return ui.m_frame.DevicePageCount() == 2; }));
    expectKept("after another device's unplug");
    EXPECT_EQ(ChildTexts(tree, FindRootItem(tree, L"Devices")),
              (std::vector<std::wstring>{L"quillo (CPL1)", L"quillo (CPL3)"}));

    // The shown device leaves: its windows go, the first page is shown.
    Control("unplug CPL1");
    ASSERT_TRUE(PumpUntil([&] { return ui.m_frame.DevicePageCount() == 1; }));
    EXPECT_FALSE(IsWindow(mixerWindow));
    EXPECT_EQ(TreeItemText(tree, TreeView_GetSelection(tree)), L"Sample Rate");
    EXPECT_EQ(ui.m_frame.CurrentPage(), ui.m_frame.PageTree().GetSelectedPage());
}

// The protocol trace of the simulator: how often the frame asked for what.
class MainFrameTraceTest : public MainFrameTest
{
protected:
    void SetUp() override
    {
        MainFrameTest::SetUp();
        wchar_t directory[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, directory);
        m_tracePath = std::wstring(directory) + L"quillo-frame-trace-" +
                      std::to_wstring(GetCurrentProcessId()) + L".txt";
        // Restarted with the trace; the devices stay.
        SimServerOptions options;
        options.nameSpace = m_sim.Namespace();
        options.tracePath = m_tracePath;
        m_sim.Stop();
        ASSERT_EQ(m_sim.Start(options), 0u);
    }
    void TearDown() override
    {
        MainFrameTest::TearDown();
        DeleteFileW(m_tracePath.c_str());
    }

    // Requests with control code `code` in the trace so far.
    size_t Requests(uint32_t code)
    {
        char text[16];
        std::snprintf(text, sizeof text, "code=0x%08X", code);
        size_t count = 0;
        FILE* file = _wfopen(m_tracePath.c_str(), L"rb");
        if (file == nullptr) {
            return 0;
        }
        char line[512];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            count += std::strstr(line, text) != nullptr ? 1 : 0;
        }
        std::fclose(file);
        return count;
    }

    std::wstring m_tracePath;
};

TEST_F(MainFrameTraceTest, ATreeClickReadsThePageOnce)
{
    FrameUnderTest& ui = CreateFrame();
    HWND tree = ui.Tree();
    const size_t before = Requests(IOCTL_KORVEL_GET_INPUT_CHANNELS);
    ASSERT_TRUE(TreeView_SelectItem(tree, FindRootItem(tree, L"ASIO IN Channels")));
    EXPECT_EQ(Requests(IOCTL_KORVEL_GET_INPUT_CHANNELS), before + 1);
}

// No simulator answers: the frame runs in its not-connected state.
TEST(MainFrameWithoutDriverTest, ShowsTheNoDevicePageAndDriverNotAvailable)
{
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, ScriptedPipeServer::UniqueNamespace().c_str());
    {
        FrameUnderTest ui;
        ASSERT_TRUE(ui.Create());
        EXPECT_FALSE(ui.m_client.IsOpen());
        EXPECT_FALSE(ui.m_thread.IsRunning());
        EXPECT_EQ(ui.m_frame.CurrentPage(), ui.m_frame.NoDevicePage());
        EXPECT_EQ(TreeView_GetCount(ui.Tree()), 0u);
        EXPECT_FALSE(IsWindowEnabled(ui.Tree()));
        EXPECT_EQ(ui.Pane(1), L"Driver not available.");
        EXPECT_EQ(ui.Pane(2), L"");
        // An arrival with an empty interface name, or another event, does nothing.
        DEV_BROADCAST_DEVICEINTERFACE_W arrival{};
        arrival.dbcc_size = sizeof(arrival);
        arrival.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        SendMessageW(ui.m_frame.m_hWnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                     reinterpret_cast<LPARAM>(&arrival));
        SendMessageW(ui.m_frame.m_hWnd, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
        EXPECT_FALSE(ui.m_client.IsOpen());
        // A message queued from an earlier connection drains nothing.
        SendMessageW(ui.m_frame.m_hWnd, WM_CPL_DRIVER_EVENT, 0, 0);
        EXPECT_EQ(ui.Pane(1), L"Driver not available.");
    }
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}
