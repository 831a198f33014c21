#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <cwchar>
#include <vector>

#include "WnPnPNotificator.h"
#include "WnPnPNotificatorCallbackInterface.h"

namespace {

// Records every device change it is given.
class Recorder
{
public:
    struct Call
    {
        DWORD eventType;
        void* eventData;
    };

    Recorder() { forwarder.Bind(this, &Recorder::OnDeviceChange); }
    void OnDeviceChange(DWORD eventType, void* eventData)
    {
        calls.push_back({eventType, eventData});
    }

    std::vector<Call> calls; // written on the window thread inside SendMessage only
    WnPnPNotificatorCallbackForwarderT<Recorder> forwarder;
};

// Finds the notificator's hidden window by the names its thread gives it.
HWND FindHiddenWindow(HWND expected)
{
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(expected, &processId);
    wchar_t className[80];
    wchar_t windowName[80];
    _snwprintf(className, 80, L"PnPNotificatorWndCls_%u_%u", static_cast<unsigned>(processId),
               static_cast<unsigned>(threadId));
    _snwprintf(windowName, 80, L"PnPNotificator_HiddenWindow_%u_%u",
               static_cast<unsigned>(processId), static_cast<unsigned>(threadId));
    return FindWindowW(className, windowName);
}

const GUID TEST_INTERFACE = {
    0x3c0f6b1e, 0x7d52, 0x4a8b, {0x91, 0x0e, 0x5a, 0x2c, 0x44, 0xd7, 0x18, 0x6f}};

} // namespace

TEST(WnPnPNotificator, RefusesBadStartsAndRegistrationBeforeStart)
{
    WnPnPNotificator notificator;
    Recorder recorder;
    EXPECT_EQ(notificator.Start(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(notificator.RegisterInterface(TEST_INTERFACE),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(notificator.IsStarted());
    // Never started: Stop has nothing to wait for.
    EXPECT_EQ(notificator.Stop(0), 0u);

    ASSERT_EQ(notificator.Start(&recorder.forwarder), 0u);
    HWND window = notificator.GetWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(notificator.Start(&recorder.forwarder),
              static_cast<DWORD>(ERROR_ALREADY_INITIALIZED));
    EXPECT_EQ(notificator.GetWindow(), window) << "a refused second start changes nothing";
    EXPECT_TRUE(notificator.IsStarted());
}

TEST(WnPnPNotificator, HiddenWindowHasItsNamesAndGoesWithStop)
{
    WnPnPNotificator notificator;
    Recorder recorder;
    ASSERT_EQ(notificator.Start(&recorder.forwarder), 0u);
    HWND window = notificator.GetWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FindHiddenWindow(window), window);
    EXPECT_FALSE(IsWindowVisible(window));
    DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    EXPECT_NE(windowThread, GetCurrentThreadId()) << "the window lives on a thread of its own";

    EXPECT_EQ(notificator.RegisterInterface(TEST_INTERFACE), 0u);
    EXPECT_EQ(notificator.Stop(5000), 0u);
    EXPECT_FALSE(notificator.IsStarted());
    EXPECT_EQ(notificator.GetWindow(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(notificator.RegisterInterface(TEST_INTERFACE),
              static_cast<DWORD>(ERROR_INVALID_DATA));

    // Stopped, it can be started again with a new window.
    ASSERT_EQ(notificator.Start(&recorder.forwarder), 0u);
    EXPECT_NE(notificator.GetWindow(), nullptr);
    EXPECT_EQ(notificator.Stop(5000), 0u);
}

TEST(WnPnPNotificator, ForwardsOnlyInterfaceArrivalsAndRemovals)
{
    WnPnPNotificator notificator;
    Recorder recorder;
    ASSERT_EQ(notificator.Start(&recorder.forwarder), 0u);
    HWND window = FindHiddenWindow(notificator.GetWindow());
    ASSERT_NE(window, nullptr);

    DEV_BROADCAST_DEVICEINTERFACE_W deviceInterface = {};
    deviceInterface.dbcc_size = sizeof(deviceInterface);
    deviceInterface.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    deviceInterface.dbcc_classguid = TEST_INTERFACE;
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    LPARAM interfaceData = reinterpret_cast<LPARAM>(&deviceInterface);

    // Other kinds of change, a volume broadcast and a change without data
    // are answered with 0 and go nowhere.
    EXPECT_EQ(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, interfaceData), 0);
    EXPECT_EQ(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0), 0);
    EXPECT_EQ(
        SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume)),
        0);
    EXPECT_EQ(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0), 0);
    EXPECT_TRUE(recorder.calls.empty());

    EXPECT_EQ(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, interfaceData), 0);
    EXPECT_EQ(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, interfaceData), 0);
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0].eventType, static_cast<DWORD>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(recorder.calls[0].eventData, &deviceInterface);
    EXPECT_EQ(recorder.calls[1].eventType, static_cast<DWORD>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(recorder.calls[1].eventData, &deviceInterface);
    EXPECT_EQ(notificator.Stop(5000), 0u);
}

TEST(WnPnPNotificator, UnboundForwarderSwallowsChangesAndDestructionStops)
{
    HWND window = nullptr;
    {
        WnPnPNotificator notificator;
        WnPnPNotificatorCallbackForwarderT<Recorder> unbound;
        ASSERT_EQ(notificator.Start(&unbound), 0u);
        window = notificator.GetWindow();
        DEV_BROADCAST_DEVICEINTERFACE_W deviceInterface = {};
        deviceInterface.dbcc_size = sizeof(deviceInterface);
        deviceInterface.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        EXPECT_EQ(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                               reinterpret_cast<LPARAM>(&deviceInterface)),
                  0);
    }
    EXPECT_FALSE(IsWindow(window)) << "destroying a started notificator closes its window";
}

namespace {

// A notificator whose window threads can be held before they make their
// window, as a thread that stalls would be, with a short start limit.
class StallingNotificator : public WnPnPNotificator
{
public:
    explicit StallingNotificator(HANDLE release)
    {
        SetStartTimeout(200);
        HoldWindowThreads(release);
    }
    void Release() { HoldWindowThreads(nullptr); }
};

} // namespace

TEST(WnPnPNotificator, TimedOutStartLeavesItNotStartedAndTheNextStartWorks)
{
    // Outlives every held thread: they wait on it and are released at the end.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(release, nullptr);
    Recorder recorder;
    {
        StallingNotificator notificator(release);
        EXPECT_EQ(notificator.Start(&recorder.forwarder), static_cast<DWORD>(ERROR_TIMEOUT));
        EXPECT_FALSE(notificator.IsStarted());
        EXPECT_EQ(notificator.GetWindow(), nullptr);

        // The stalled thread is still held; a new start does not wait for it.
        notificator.Release();
        ASSERT_EQ(notificator.Start(&recorder.forwarder), 0u);
        EXPECT_TRUE(notificator.IsStarted());
        EXPECT_NE(notificator.GetWindow(), nullptr);
        EXPECT_EQ(notificator.Stop(5000), 0u);
    }
    {
        // Destroying a notificator whose start timed out does not wait for
        // the stalled thread.
        ULONGLONG before = GetTickCount64();
        {
            StallingNotificator notificator(release);
            EXPECT_EQ(notificator.Start(&recorder.forwarder), static_cast<DWORD>(ERROR_TIMEOUT));
        }
        EXPECT_LT(GetTickCount64() - before, 5000u) << "destruction waited for a stalled thread";
    }
    // The abandoned threads make their windows, destroy them and end.
    SetEvent(release);
    Sleep(300);
    EXPECT_TRUE(recorder.calls.empty());
    CloseHandle(release);
}
