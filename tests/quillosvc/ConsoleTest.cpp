// quillosvc.exe -console against the simulator: it serves requests, a second
// instance refuses to start, and Ctrl+C ends the run cleanly.
#include <gtest/gtest.h>

#include <windows.h>

#include "KorvelClient.h"
#include "KorvelIoctl.h"
#include "QuillosvcTestSupport.h"

using quillosvc_test::Child;
using quillosvc_test::RunProgram;
using quillosvc_test::RunResult;
using quillosvc_test::SimFixture;
using quillosvc_test::WaitFor;

TEST(QuillosvcConsole, ServesOneInstanceUntilCtrlC)
{
    // A console of our own, shared with the children only, so that the
    // Ctrl+C sent to it reaches nobody else; this process ignores it.
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();
    SimFixture sim;
    ASSERT_EQ(sim.Start(), 0u);

    Child console;
    ASSERT_TRUE(console.Start(L"-console"));
    ASSERT_TRUE(WaitFor([&] { return sim.ServerRegistered(); }, 15000)) << sim.Control("stats");
    EXPECT_TRUE(WaitFor([&] { return sim.ModelValue("dev.0.setup.count") == "1"; }, 10000))
        << "the device was set up";

    {
        KorvelClient client;
        ASSERT_EQ(client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
        uint32_t policy = 0;
        ASSERT_EQ(client.GetPolicy(policy), 0u);
        EXPECT_EQ(client.SetPolicy(policy ^ 1u, 10000), 0u) << "the console instance answered";
        uint32_t changed = 0;
        ASSERT_EQ(client.GetPolicy(changed), 0u);
        EXPECT_EQ(changed, policy ^ 1u);
    }

    RunResult second = RunProgram(L"-console", 15000);
    EXPECT_EQ(second.output, "Cannot start, another instance is already running.\n");
    EXPECT_EQ(second.exitCode, 0u) << "the process ends normally once its console thread has";
    EXPECT_TRUE(console.Running());

    // Set only now: a child inherits the ignoring of Ctrl+C.
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, TRUE));
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    EXPECT_EQ(console.Finish(10000), 0u);
    EXPECT_EQ(console.Output(), "");
    EXPECT_TRUE(WaitFor([&] { return sim.Stat("connections") == "0"; }, 5000))
        << sim.Control("stats");
    EXPECT_EQ(sim.Stat("server"), "-");
    SetConsoleCtrlHandler(nullptr, FALSE);
}

TEST(QuillosvcConsole, LastDeviceOutThenOneInReconnectsAndServes)
{
    SimFixture sim;
    ASSERT_EQ(sim.Start(), 0u);
    Child console;
    ASSERT_TRUE(console.Start(L"-console"));
    ASSERT_TRUE(WaitFor([&] { return sim.ServerRegistered(); }, 15000)) << sim.Control("stats");
    ASSERT_TRUE(WaitFor([&] { return sim.ModelValue("dev.0.setup.count") == "1"; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return sim.ArrivalListeners() == 1; }, 10000))
        << "the service listens for the simulator's arrivals";

    ASSERT_EQ(sim.Control("unplug 0").rfind("OK", 0), 0u);
    ASSERT_TRUE(WaitFor([&] { return !sim.ServerRegistered(); }, 10000))
        << "without devices the service lets its connection go";

    ASSERT_EQ(sim.Control("plug serial=BACK1").rfind("OK", 0), 0u);
    ASSERT_TRUE(WaitFor([&] { return sim.ServerRegistered(); }, 10000))
        << "the arrival brought the service back";
    EXPECT_TRUE(WaitFor([&] { return sim.ModelValue("dev.0.setup.count") == "1"; }, 10000))
        << "and it set the new device up";
    EXPECT_TRUE(WaitFor([&] { return sim.ModelValue("dev.0.wdm.pairs.received") == "1"; }, 10000))
        << "and named its endpoints";
    KorvelClient client;
    ASSERT_EQ(client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    uint32_t policy = 0;
    ASSERT_EQ(client.GetPolicy(policy), 0u);
    EXPECT_EQ(client.SetPolicy(policy ^ 1u, 10000), 0u) << "and it serves requests";
    client.CloseAll();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\VANTREL\\quillo\\Devices\\BACK1");
}
