#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <thread>
#include <vector>

#include "ServiceBase.h"

namespace {

// A service whose console body starts the notificator and waits for its stop
// event, recording what reaches it.
class ProbeService : public ServiceBase
{
public:
    ProbeService() { running = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~ProbeService() override { CloseHandle(running); }

    const wchar_t* GetServiceName() override { return L"quillo_probe"; }
    const wchar_t* GetDisplayName() override { return L"quillo probe"; }
    const wchar_t* GetDescription() override { return L"quillo probe service"; }
    LPSERVICE_MAIN_FUNCTIONW GetServiceMainFunction() override { return nullptr; }

    DWORD RunConsole() override
    {
        notificatorStatus = GetPnPNotificator().Start(GetPnPCallback());
        SetEvent(running);
        WaitForSingleObject(GetStopEvent(), INFINITE);
        notificatorStoppedAtEnd = !GetPnPNotificator().IsStarted();
        return 0;
    }

    void OnDeviceEvent(DWORD eventType, void* eventData) override
    {
        deviceEvents.push_back({eventType, eventData});
    }

    bool StopSignalled() const { return WaitForSingleObject(GetStopEvent(), 0) == WAIT_OBJECT_0; }

    HANDLE running;
    DWORD notificatorStatus = 0xFFFFFFFF;
    bool notificatorStoppedAtEnd = false;
    std::vector<std::pair<DWORD, void*>> deviceEvents;
};

} // namespace

TEST(ServiceBase, ControlsReachTheirHandlers)
{
    ProbeService service;
    EXPECT_EQ(service.OnControl(SERVICE_CONTROL_INTERROGATE, 0, nullptr), 0u);
    EXPECT_EQ(service.OnControl(SERVICE_CONTROL_PAUSE, 0, nullptr), 0u);
    EXPECT_EQ(service.OnControl(200, 0, nullptr), 0u);
    EXPECT_FALSE(service.StopSignalled()) << "interrogate and other controls change nothing";
    EXPECT_TRUE(service.deviceEvents.empty());

    DEV_BROADCAST_DEVICEINTERFACE_W arrival = {};
    EXPECT_EQ(service.OnControl(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEARRIVAL, &arrival), 0u);
    ASSERT_EQ(service.deviceEvents.size(), 1u);
    EXPECT_EQ(service.deviceEvents[0].first, static_cast<DWORD>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(service.deviceEvents[0].second, &arrival);
    EXPECT_FALSE(service.StopSignalled());

    EXPECT_EQ(service.OnControl(SERVICE_CONTROL_STOP, 0, nullptr), 0u);
    EXPECT_TRUE(service.StopSignalled());
    EXPECT_EQ(service.OnControl(SERVICE_CONTROL_SHUTDOWN, 0, nullptr), 0u);
    EXPECT_TRUE(service.StopSignalled());
}

TEST(ServiceBase, WithoutTheServiceManagerNothingIsReported)
{
    ProbeService service;
    EXPECT_EQ(service.GetStatusHandle(), nullptr);
    EXPECT_TRUE(service.ReportStatus(SERVICE_RUNNING));
    GUID anyClass = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
    EXPECT_EQ(service.RegisterInterfaceNotification(anyClass), 0u);
    EXPECT_EQ(service.GetNotificationCount(), 0u);
    EXPECT_EQ(ServiceBase::Register(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ServiceBase, ConsoleModeRunsEachServiceUntilCtrlC)
{
    ProbeService first;
    ProbeService second;
    ASSERT_EQ(ServiceBase::Register(&first), 0u);
    ASSERT_EQ(ServiceBase::Register(&second), 0u);

    bool result = false;
    std::thread runner([&result] { result = ServiceBase::RunServices(true); });
    HANDLE both[2] = {first.running, second.running};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(ServiceBase::IsConsoleMode());
    EXPECT_EQ(first.notificatorStatus, 0u);
    EXPECT_TRUE(first.GetPnPNotificator().IsStarted());

    // Closing the console is left to the system's default handling.
    EXPECT_FALSE(ServiceBase::ConsoleCtrlHandler(CTRL_CLOSE_EVENT));
    Sleep(50);
    EXPECT_FALSE(first.StopSignalled());

    EXPECT_TRUE(ServiceBase::ConsoleCtrlHandler(CTRL_C_EVENT));
    runner.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(first.notificatorStoppedAtEnd);
    EXPECT_TRUE(second.notificatorStoppedAtEnd);
}

namespace {

// A thread wrapper that holds a handle the system refuses to wait on.
class BrokenThread : public WnThread
{
public:
    BrokenThread() { m_handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FFFFFF0)); }
    ~BrokenThread() override { m_handle = nullptr; } // nothing of ours to close
};

} // namespace

// Waiting for the console threads ends with a status when a wait fails,
// instead of retrying a wait that fails every time.
TEST(ServiceBase, ConsoleThreadWaitEndsWhenAWaitFails)
{
    WnThread ended;
    EXPECT_EQ(ServiceBase::WaitConsoleThreads(&ended, 1), 0u);
    BrokenThread broken;
    EXPECT_NE(ServiceBase::WaitConsoleThreads(&broken, 1), 0u);
}
