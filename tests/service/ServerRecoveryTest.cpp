// The server heals from one transient failure of the kernel driver: a failed
// enumeration, a failed receive, a status that looks like "reply later", a
// device that comes back before the server saw it leave, a driver that
// disappears and comes back. Each case is driven by the simulator's faults.
// These tests wait for the server's retry timers and run alone.
#include "CustomServer.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "ServerHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Generous against a loaded machine: a retry is due after RETRY_PERIOD_MS.
constexpr DWORD RETRY_WAIT_MS = KorvelServer::RETRY_PERIOD_MS + 7000;

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

class ServerRecoveryTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        harness.StopServe();
        for (const wchar_t* serial : {L"REC1", L"REC2", L"REC3", L"NEXT1", L"FAST1"}) {
            const std::wstring key = std::wstring(server.GetRegistryRoot()) + L"\\Devices\\" + serial;
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
        }
    }

    void FailNext(uint32_t code, uint32_t status)
    {
        ASSERT_EQ(harness.Control("fault fail " + Hex(code) + " " + Hex(status)).rfind("OK", 0),
                  0u);
    }
    void Plug(const std::string& serial)
    {
        ASSERT_EQ(harness.Control("plug serial=" + serial).rfind("OK", 0), 0u);
    }
    bool Registered() { return harness.Control("stats").find("server=-") == std::string::npos; }
    bool SetUp(int index, const std::string& count = "1")
    {
        return ServerHarness::WaitFor([&] {
            return harness.ModelValue("dev." + std::to_string(index) + ".setup.count") == count;
        });
    }
    // Serves with the devices plugged so far, once each is set up.
    void Serve(KorvelServer& server, int devices)
    {
        harness.StartServe(server);
        ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
        for (int i = 0; i < devices; ++i) {
            ASSERT_TRUE(SetUp(i)) << "device " << i;
        }
    }

    ServerHarness harness;
    CustomServer server;
};

} // namespace

TEST_F(ServerRecoveryTest, FailedEnumerationKeepsTheDevicesAndIsRetried)
{
    ASSERT_EQ(harness.StartSim(0), 0u);
    Plug("REC1");
    Plug("REC2");
    Serve(server, 2);

    FailNext(IOCTL_KORVEL_GET_DEVICE_LIST, KORVEL_STATUS_INTERNAL_ERROR);
    Plug("REC3"); // its 3005 meets the failing list request
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_TRUE(Registered()) << "no disconnect while devices are attached";
    uint32_t policy = 0;
    ASSERT_EQ(harness.Client().GetPolicy(policy), 0u);
    EXPECT_EQ(harness.Client().SetPolicy(policy ^ 1u, ServerHarness::WAIT_MS), 0u);

    EXPECT_TRUE(ServerHarness::WaitFor(
        [&] { return harness.ModelValue("dev.2.setup.count") == "1"; }, RETRY_WAIT_MS))
        << "the retry found the new device";
    EXPECT_EQ(harness.ModelValue("dev.0.setup.count"), "1") << "the controllers were kept";
    EXPECT_EQ(harness.ModelValue("dev.1.setup.count"), "1");
    EXPECT_TRUE(Registered());
}

TEST_F(ServerRecoveryTest, PendingStatusFromTheDriverStillGetsAReply)
{
    ASSERT_EQ(harness.StartSim(1), 0u);
    Serve(server, 1);
    ASSERT_TRUE(harness.SyncWithServer());

    FailNext(IOCTL_KORVEL_GET_STREAMING_STATE, KORVEL_STATUS_PENDING);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(harness.Client().SetSampleRate(88200, ServerHarness::WAIT_MS), KORVEL_STATUS_PENDING)
        << "the handler's status, not a time-out";
    EXPECT_LT(GetTickCount64() - start, ULONGLONG{ServerHarness::WAIT_MS});
}

TEST_F(ServerRecoveryTest, FailedReceiveLeavesNoRequestBehind)
{
    ASSERT_EQ(harness.StartSim(1), 0u);
    Serve(server, 1);
    ASSERT_TRUE(harness.SyncWithServer());
    uint32_t policy = 0;
    ASSERT_EQ(harness.Client().GetPolicy(policy), 0u);

    // The server's receive after the request's wake-up fails once: the
    // request stays queued until the next wake-up, the controller's timer.
    FailNext(IOCTL_KORVEL_RECEIVE_MESSAGE, KORVEL_STATUS_INTERNAL_ERROR);
    EXPECT_EQ(harness.Client().SetPolicy(policy ^ 1u, RETRY_WAIT_MS), 0u);
    uint32_t changed = 0;
    ASSERT_EQ(harness.Client().GetPolicy(changed), 0u);
    EXPECT_EQ(changed, policy ^ 1u);
}

namespace {

// Plugs a device from inside the handling of the last device's removal, so
// that its 3005 is handled in the same drain.
class PlugDuringRemovalServer : public CustomServer
{
public:
    explicit PlugDuringRemovalServer(ServerHarness& harness) : m_harness(harness) {}
    void OnDeviceListChanged() override
    {
        CustomServer::OnDeviceListChanged();
        if (DeviceCount() == 0 && !m_plugged) {
            m_plugged = true;
            m_harness.Control("plug serial=NEXT1");
        }
    }

private:
    ServerHarness& m_harness;
    bool m_plugged = false;
};

} // namespace

TEST_F(ServerRecoveryTest, DeviceThatComesDuringTheLastRemovalKeepsTheConnection)
{
    PlugDuringRemovalServer plugging(harness);
    ASSERT_EQ(harness.StartSim(0), 0u);
    Plug("REC1");
    Serve(plugging, 1);

    ASSERT_EQ(harness.Control("unplug REC1").rfind("OK", 0), 0u);
    ASSERT_TRUE(SetUp(0)) << "the new device was set up";
    EXPECT_EQ(harness.ModelValue("dev.0.serial"), "NEXT1");
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_TRUE(Registered()) << "the connection stayed";
    uint32_t policy = 0;
    ASSERT_EQ(harness.Client().GetPolicy(policy), 0u);
    EXPECT_EQ(harness.Client().SetPolicy(policy ^ 1u, ServerHarness::WAIT_MS), 0u);
    harness.StopServe();
}

TEST_F(ServerRecoveryTest, FastReplugWithTheSameSerialSetsTheDeviceUpAgain)
{
    ASSERT_EQ(harness.StartSim(0), 0u);
    Plug("FAST1");
    Serve(server, 1);
    const std::string oldKey = harness.ModelValue("dev.0.key");

    // Out and in again before the server handles either 3005.
    harness.WithModel([](SimDeviceModel& model) {
        model.Unplug(0);
        SimDeviceConfig config;
        config.serial = "FAST1";
        size_t index = 0;
        std::string error;
        EXPECT_EQ(model.Plug(config, index, error), 0u) << error;
    });
    ASSERT_TRUE(SetUp(0)) << "the replugged device was set up";
    EXPECT_NE(harness.ModelValue("dev.0.key"), oldKey);
    // The tables follow the setup.
    EXPECT_TRUE(ServerHarness::WaitFor(
        [&] { return harness.ModelValue("dev.0.wdm.pairs.received") == "1"; }));
    EXPECT_EQ(harness.ModelValue("dev.0.wdm.channels.received"), "1");
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_TRUE(Registered());
}

TEST_F(ServerRecoveryTest, RestartedDriverIsFoundAgain)
{
    ASSERT_EQ(harness.StartSim(0), 0u);
    Plug("REC1");
    Serve(server, 1);

    // The driver goes away for longer than the first reconnection pauses.
    harness.Sim().Stop();
    Sleep(KorvelServer::RETRY_PERIOD_MS + 1000);
    ASSERT_EQ(harness.StartSim(0), 0u) << "the model keeps its device";

    EXPECT_TRUE(ServerHarness::WaitFor([&] { return Registered(); }, RETRY_WAIT_MS))
        << "the server connected again";
    EXPECT_TRUE(SetUp(0, "2")) << "and set the device up again";
    KorvelClient client;
    ASSERT_EQ(client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    uint32_t policy = 0;
    ASSERT_EQ(client.GetPolicy(policy), 0u);
    EXPECT_EQ(client.SetPolicy(policy ^ 1u, ServerHarness::WAIT_MS), 0u) << "and serves";
}
