// The service object in this process: the single-instance mutex, the
// device-arrival event, and the console body driving the server against an
// in-process simulator.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <string>
#include <thread>

#include "KorvelService.h"
#include "QuillosvcTestSupport.h"

using quillosvc_test::SimFixture;
using quillosvc_test::WaitFor;

namespace {

const wchar_t* const MUTEX_NAME = L"quillosvc-{37A02BA4-5264-4c11-8803-F2150F581BB0}";

bool Signalled(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

} // namespace

TEST(KorvelService, SingleInstanceMutexNameIsServiceNameDashInterfaceGuid)
{
    // Another program version must find the running one by this name.
    HANDLE other = CreateMutexW(nullptr, TRUE, MUTEX_NAME);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(GetLastError(), 0u) << "a quillosvc instance runs already";

    KorvelService service;
    EXPECT_EQ(service.CheckSingleInstance(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    service.ReleaseSingleInstance();
    ReleaseMutex(other);
    CloseHandle(other);

    EXPECT_EQ(service.CheckSingleInstance(), 0u);
    KorvelService second;
    EXPECT_EQ(second.CheckSingleInstance(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    service.ReleaseSingleInstance();
    second.ReleaseSingleInstance();
    EXPECT_EQ(second.CheckSingleInstance(), 0u) << "the name is free once released";
}

TEST(KorvelService, OnlyADeviceArrivalSignalsTheArrivalEvent)
{
    KorvelService service;
    ASSERT_NE(service.GetArrivalEvent(), nullptr);
    // The control path the service manager uses for device events.
    service.OnControl(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEREMOVECOMPLETE, nullptr);
    service.OnControl(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEQUERYREMOVE, nullptr);
    service.OnDeviceEvent(DBT_DEVICEREMOVECOMPLETE, nullptr);
    EXPECT_FALSE(Signalled(service.GetArrivalEvent()));

    service.OnControl(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEARRIVAL, nullptr);
    EXPECT_TRUE(Signalled(service.GetArrivalEvent()));
    EXPECT_FALSE(Signalled(service.GetArrivalEvent())) << "auto-reset";
}

// The console body with no device at first: the server gives up its
// connection, an arrival (and only an arrival) brings it back for the new
// device, and the stop leaves nothing connected.
TEST(KorvelService, ConsoleBodyReconnectsOnArrivalAndClosesEverythingOnStop)
{
    SimFixture sim;
    ASSERT_EQ(sim.Start(0), 0u);
    KorvelService service;
    DWORD result = 0xFFFFFFFF;
    std::thread body([&] { result = service.RunConsole(); });

    // No device: the server registers, tells the clients (3010, 3030), then
    // closes its connection.
    EXPECT_TRUE(WaitFor([&] { return sim.Stat("notificationsSent") == "2"; }, 10000))
        << sim.Control("stats");
    EXPECT_TRUE(WaitFor([&] { return sim.Stat("connections") == "0"; }, 10000))
        << sim.Control("stats");
    EXPECT_TRUE(service.GetPnPNotificator().IsStarted());

    // A reconnection would send 3010 and 3030 again.
    service.OnDeviceEvent(DBT_DEVICEREMOVECOMPLETE, nullptr);
    Sleep(300);
    EXPECT_EQ(sim.Stat("notificationsSent"), "2") << "a removal does not reconnect";
    EXPECT_EQ(sim.Stat("server"), "-");

    // The simulator announces the plug as the system would announce an
    // arrival; the service's handler wakes the server.
    ASSERT_TRUE(WaitFor([&] { return sim.ArrivalListeners() == 1; }, 10000));
    EXPECT_NE(sim.Control("plug").rfind("OK", 0), std::string::npos);
    EXPECT_TRUE(WaitFor([&] { return sim.ModelValue("dev.0.setup.count") == "1"; }, 10000))
        << "the arrival reconnects and sets the new device up";
    EXPECT_TRUE(sim.ServerRegistered());

    service.StopNotifications(); // what Ctrl+C does
    body.join();
    EXPECT_EQ(result, 0u);
    EXPECT_FALSE(service.GetPnPNotificator().IsStarted());
    EXPECT_TRUE(WaitFor([&] { return sim.Stat("connections") == "0"; }, 5000))
        << "server and device connections are closed: " << sim.Control("stats");
    EXPECT_EQ(sim.Stat("server"), "-");
    EXPECT_EQ(service.CheckSingleInstance(), 0u) << "the body released the instance name";
}
