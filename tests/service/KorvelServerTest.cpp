// The server loop, the request handlers and the streaming state machine,
// against the in-process simulator.
#include "CustomServer.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "ServerHarness.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

// Records every callback of the state machine: "P", "B1>2", "A1>2", "F2>3".
class RecordingCtrl : public KorvelDeviceCtrl
{
public:
    explicit RecordingCtrl(std::vector<std::string>& log) : m_log(log) {}

    DWORD BeforeStateChange(uint32_t current, uint32_t target, uint32_t) override
    {
        m_log.push_back("B" + Step(current, target));
        return target == failBeforeTarget ? failBeforeStatus : ERROR_SUCCESS;
    }
    void AfterStateChange(uint32_t current, uint32_t target, uint32_t) override
    {
        m_log.push_back("A" + Step(current, target));
    }
    void StateChangeFailed(uint32_t current, uint32_t target, DWORD) override
    {
        m_log.push_back("F" + Step(current, target));
    }
    DWORD Prepare() override
    {
        m_log.push_back("P");
        return ERROR_SUCCESS;
    }

    uint32_t failBeforeTarget = 0;
    DWORD failBeforeStatus = ERROR_SUCCESS;

private:
    static std::string Step(uint32_t current, uint32_t target)
    {
        return std::to_string(current) + ">" + std::to_string(target);
    }
    std::vector<std::string>& m_log;
};

class RecordingServer : public KorvelServer
{
public:
    KorvelDevice* CreateDevice() override { return new RecordingCtrl(log); }
    RecordingCtrl* Ctrl() { return dynamic_cast<RecordingCtrl*>(DeviceAt(0)); }
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

// A server driven directly on the test thread (no loop running).
class StateMachineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(harness.StartSim(1), 0u);
        ASSERT_EQ(server.Connect(KORVEL_CONTROL_DEVICE_NAME), 0u);
        bool changed = false;
        ASSERT_EQ(server.RefreshDevices(changed), 0u);
        ASSERT_EQ(server.DeviceCount(), 1u);
    }

    void Force(uint32_t state)
    {
        ASSERT_EQ(harness.Control("state " + std::to_string(state)).rfind("OK", 0), 0u);
        server.log.clear();
        commandsBefore = Commands().size();
    }
    uint32_t SimState() { return std::stoul(harness.ModelValue("stream.state")); }
    // Streaming commands the simulator received, as "command:argument".
    std::vector<std::string> Commands()
    {
        std::vector<std::string> commands;
        harness.WithModel([&](SimDeviceModel& model) {
            for (const auto& c : model.Streaming().CommandLog()) {
                commands.push_back(std::to_string(c.command) + ":" + std::to_string(c.argument));
            }
        });
        return commands;
    }
    std::vector<std::string> NewCommands()
    {
        auto all = Commands();
        return std::vector<std::string>(all.begin() + std::min(commandsBefore, all.size()),
                                        all.end());
    }

    ServerHarness harness;
    RecordingServer server;
    size_t commandsBefore = 0;
};

} // namespace

TEST(KorvelServerIdentity, NamesAndStreamingNeed)
{
    KorvelServer server;
    EXPECT_STREQ(server.GetServiceName(), L"quillosvc");
    EXPECT_STREQ(server.GetDisplayName(), L"quillo control");
    EXPECT_STREQ(server.GetDescription(), L"quillo control service");
    EXPECT_STREQ(server.GetInterfaceGuidText(), L"{37A02BA4-5264-4c11-8803-F2150F581BB0}");
    EXPECT_STREQ(server.GetRegistryRoot(), L"Software\\VANTREL\\quillo");
    GUID guid{};
    server.GetInterfaceGuid(guid);
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    EXPECT_EQ(_wcsicmp(text, server.GetInterfaceGuidText()), 0);

    KorvelStreamingState state{};
    EXPECT_FALSE(server.IsStreamingNeeded(state));
    state.activityCount3 = 5; // count 3 only blocks changes
    EXPECT_FALSE(server.IsStreamingNeeded(state));
    for (uint32_t* count : {&state.activityCount1, &state.activityCount2, &state.activityCount4,
                            &state.activityCount5}) {
        *count = 1;
        EXPECT_TRUE(server.IsStreamingNeeded(state));
        *count = 0;
    }
}

TEST_F(StateMachineTest, BringUpWalksFromEveryStartState)
{
    harness.Control("activity 1 1");
    struct Case
    {
        uint32_t start;
        Log log;
        std::vector<std::string> commands;
    };
    const Log fromDown = {"P", "B1>2", "A1>2", "B2>3", "A2>3", "B3>4", "A3>4"};
    const std::vector<Case> cases = {
        {1, fromDown, {"2:0", "4:0", "5:0"}},
        {2, {"P", "B2>3", "A2>3", "B3>4", "A3>4"}, {"4:0", "5:0"}},
        {3, {"P", "B3>4", "A3>4"}, {"5:0"}},
        {4, {"P"}, {}},
        {5, fromDown, {"1:0", "2:0", "4:0", "5:0"}},
        {6, fromDown, {"1:0", "2:0", "4:0", "5:0"}},
    };
    for (const Case& c : cases) {
        Force(c.start);
        EXPECT_EQ(server.BringUp(0), 0u) << "from " << c.start;
        EXPECT_EQ(SimState(), 4u) << "from " << c.start;
        EXPECT_EQ(server.log, c.log) << "from " << c.start;
        EXPECT_EQ(NewCommands(), c.commands) << "from " << c.start;
    }
}

TEST_F(StateMachineTest, BringDownWalksFromEveryStartState)
{
    struct Case
    {
        uint32_t start;
        Log log;
        std::vector<std::string> commands;
    };
    const std::vector<Case> cases = {
        {1, {}, {}},
        {2, {"B2>1", "A2>1"}, {"3:1"}},
        {3, {"B3>2", "A3>2", "B2>1", "A2>1"}, {"6:0", "3:1"}},
        {4, {"B4>2", "A4>2", "B2>1", "A2>1"}, {"6:0", "3:1"}},
        {5, {}, {"1:0"}},
        {6, {}, {"1:0"}},
    };
    for (const Case& c : cases) {
        Force(c.start);
        EXPECT_EQ(server.BringDown(1), 0u) << "from " << c.start;
        EXPECT_EQ(SimState(), 1u) << "from " << c.start;
        EXPECT_EQ(server.log, c.log) << "from " << c.start;
        EXPECT_EQ(NewCommands(), c.commands) << "from " << c.start;
    }
}

TEST_F(StateMachineTest, BringUpStopsInReadyWhenNothingNeedsStreaming)
{
    Force(1);
    EXPECT_EQ(server.BringUp(0), 0u);
    EXPECT_EQ(SimState(), 2u);
    EXPECT_EQ(server.log, (Log{"P", "B1>2", "A1>2"}));
}

TEST_F(StateMachineTest, UndefinedStateIsRefused)
{
    Force(0);
    EXPECT_EQ(server.BringUp(0), KORVEL_STATUS_INVALID_STATE);
    EXPECT_EQ(server.BringDown(0), KORVEL_STATUS_INVALID_STATE);
    EXPECT_TRUE(NewCommands().empty());
}

TEST_F(StateMachineTest, FailuresAroundTheSteps)
{
    harness.Control("activity 1 1");
    // A failing command: reported to the controllers, returned, no rollback.
    Force(2);
    harness.Control("fault fail 0x80882100 0xE0000073");
    EXPECT_EQ(server.BringUp(0), KORVEL_STATUS_START_CHANNEL_FAILED);
    EXPECT_EQ(server.log, (Log{"P", "B2>3", "F2>3"}));
    EXPECT_EQ(SimState(), 2u);

    // A refusing controller stops the bring-up before the command.
    Force(3);
    server.Ctrl()->failBeforeTarget = 4;
    server.Ctrl()->failBeforeStatus = KORVEL_STATUS_NOT_POSSIBLE;
    EXPECT_EQ(server.BringUp(0), KORVEL_STATUS_NOT_POSSIBLE);
    EXPECT_EQ(server.log, (Log{"P", "B3>4"}));
    EXPECT_TRUE(NewCommands().empty());

    // ...but is ignored on the way down.
    Force(4);
    server.Ctrl()->failBeforeTarget = 2;
    EXPECT_EQ(server.BringDown(0), 0u);
    EXPECT_EQ(SimState(), 1u);
}

TEST_F(StateMachineTest, StopIfUnneededStopsOnlyUnneededStreaming)
{
    harness.Control("activity 4 1");
    Force(4);
    EXPECT_EQ(server.StopIfUnneeded(), 0u);
    EXPECT_EQ(SimState(), 4u);
    harness.Control("activity 4 0");
    Force(4);
    EXPECT_EQ(server.StopIfUnneeded(), 0u);
    EXPECT_EQ(SimState(), 2u);
    EXPECT_EQ(server.log, (Log{"B4>2", "A4>2"}));
    Force(2);
    EXPECT_EQ(server.StopIfUnneeded(), 0u);
    EXPECT_TRUE(NewCommands().empty());
}

// ---------------------------------------------------------------------------
// The server loop

TEST(KorvelServerLoop, SecondServerReturnsAtOnce)
{
    ServerHarness harness;
    ASSERT_EQ(harness.StartSim(1), 0u);
    harness.Client(); // connected before the server announces itself
    CustomServer first;
    harness.StartServe(first);
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));

    CustomServer second;
    WnEvent stop, arrival; // never signalled: only the registration can end it
    stop.Create(TRUE, FALSE);
    arrival.Create(FALSE, FALSE);
    DWORD result = 0;
    std::thread t([&] { result = second.Serve(stop.GetHandle(), arrival.GetHandle()); });
    t.join();
    EXPECT_EQ(result, KORVEL_STATUS_ALREADY_DONE);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(harness.StopServe(), 0u);
}

TEST(KorvelServerLoop, WithoutDevicesDisconnectsAndReconnectsOnArrival)
{
    ServerHarness harness;
    ASSERT_EQ(harness.StartSim(0), 0u);
    harness.Client();
    CustomServer server;
    harness.StartServe(server);
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_STREAMING_CHANGED));
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
    // Its own notifications wake the loop; the round ends with the disconnect.
    EXPECT_TRUE(ServerHarness::WaitFor(
        [&] { return harness.Control("stats").find("server=-") != std::string::npos; }));

    harness.Control("plug serial=ARRIVE1");
    harness.SignalArrival();
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_STREAMING_CHANGED));
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
    EXPECT_EQ(harness.Control("stats").find("server=-"), std::string::npos);
    EXPECT_EQ(harness.ModelValue("dev.0.setup.count"), "1");
    EXPECT_EQ(harness.ModelValue("stream.state"), "2");
    EXPECT_EQ(harness.StopServe(), 0u);
}

TEST(KorvelServerLoop, FailingWaitEndsTheLoop)
{
    ServerHarness harness;
    ASSERT_EQ(harness.StartSim(0), 0u);
    KorvelServer server;
    // A handle that cannot be waited on fails every wait.
    HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FFFFFF0));
    DWORD result = 0;
    std::thread t([&] { result = server.Serve(bogus, bogus); });
    t.join();
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// ---------------------------------------------------------------------------
// Requests through a running server

namespace {

class ServedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(harness.StartSim(1), 0u);
        harness.Client();
        harness.StartServe(server);
        ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
        harness.WithModel([&](SimDeviceModel& m) { key = m.Devices().At(0)->Key(); });
    }
    void TearDown() override { EXPECT_EQ(harness.StopServe(), 0u); }

    // The streaming notifications of the server since the last call. (3030
    // is left out: the server also sends it when the simulator asks with 3020.)
    std::vector<uint32_t> ServerNotifications()
    {
        std::vector<uint32_t> codes;
        for (uint32_t code : harness.TakeNotifications()) {
            if (code == 3010 || code == 3011) {
                codes.push_back(code);
            }
        }
        return codes;
    }
    uint64_t Commands() { return std::stoull(harness.ModelValue("stream.commands")); }
    std::vector<std::string> CommandLog()
    {
        std::vector<std::string> commands;
        harness.WithModel([&](SimDeviceModel& model) {
            for (const auto& c : model.Streaming().CommandLog()) {
                commands.push_back(std::to_string(c.command) + ":" + std::to_string(c.argument));
            }
        });
        return commands;
    }

    DWORD SetBuffers() { return harness.Client().SetBufferSizes({3, 2, 0x10}); }
    DWORD SelectAll() { return harness.Client().SelectStreamingDevice(0, 0, true); }

    ServerHarness harness;
    CustomServer server;
    KorvelDeviceKey key{};
};

} // namespace

TEST_F(ServedTest, SampleRateChange)
{
    harness.TakeNotifications();
    const uint64_t before = Commands();
    EXPECT_EQ(harness.Client().SetSampleRate(48000), 0u);
    EXPECT_EQ(Commands(), before) << "the current rate sends nothing";
    EXPECT_EQ(harness.ModelValue("stream.announcedRate"), "0");
    EXPECT_TRUE(ServerNotifications().empty());

    EXPECT_EQ(harness.Client().SetSampleRate(96000), 0u);
    EXPECT_EQ(harness.ModelValue("stream.rate"), "96000");
    EXPECT_EQ(harness.ModelValue("stream.announcedRate"), "96000");
    EXPECT_EQ(harness.ModelValue("stream.state"), "2");
    EXPECT_EQ(ServerNotifications(), (std::vector<uint32_t>{3010, 3011}));

    // A refused rate: the set fails, streaming comes back, both notifications.
    EXPECT_EQ(harness.Client().SetSampleRate(12345), KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE);
    EXPECT_EQ(harness.ModelValue("stream.state"), "2");
    EXPECT_EQ(ServerNotifications(), (std::vector<uint32_t>{3010, 3011}));

    // The policy flag travels with the down and ready commands.
    harness.Control("policy 1");
    const size_t logged = CommandLog().size();
    EXPECT_EQ(harness.Client().SetSampleRate(44100), 0u);
    auto log = CommandLog();
    EXPECT_EQ(std::vector<std::string>(log.begin() + logged, log.end()),
              (std::vector<std::string>{"3:1", "2:1"}));
}

TEST_F(ServedTest, BusyRefusalsPerActivityCount)
{
    harness.Control("activity 2 1");
    EXPECT_EQ(harness.Client().SetSampleRate(44100), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(SetBuffers(), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(SelectAll(), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(harness.Client().SetPolicy(1), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    KorvelWdmConfigRecord record{key, 0, 0};
    KorvelMessage reply;
    ASSERT_EQ(harness.Exchange(KORVEL_CUSTOM_SET_WDM_CONFIG, &record, sizeof(record), reply), 0u);
    EXPECT_EQ(reply.result, KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(harness.ModelValue("stream.rate"), "48000");
    EXPECT_EQ(harness.ModelValue("stream.policy"), "0");

    harness.Control("activity 2 0");
    harness.Control("activity 3 1");
    EXPECT_EQ(harness.Client().SetSampleRate(44100), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(SetBuffers(), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(SelectAll(), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    harness.TakeNotifications();
    EXPECT_EQ(harness.Client().SetPolicy(1), 0u);
    EXPECT_EQ(harness.ModelValue("stream.policy"), "1");
    EXPECT_TRUE(ServerNotifications().empty()) << "a policy change notifies nothing";
    EXPECT_EQ(harness.Client().SetPolicy(1), 0u) << "the same word again";

    // The driver's refusal of the word reaches the client, and streaming is
    // brought up again all the same.
    harness.Control("activity 3 0");
    const std::string state = harness.ModelValue("stream.state");
    harness.Control("fault fail 0x8088240C 0xE0000002");
    EXPECT_EQ(harness.Client().SetPolicy(0), 0xE0000002u);
    EXPECT_EQ(harness.ModelValue("stream.policy"), "1");
    EXPECT_EQ(harness.ModelValue("stream.state"), state) << "not brought up after the refusal";
}

TEST_F(ServedTest, BufferSizesAndStreamingDevice)
{
    harness.TakeNotifications();
    EXPECT_EQ(SetBuffers(), 0u);
    EXPECT_EQ(harness.ModelValue("stream.bufferClass"), "3");
    EXPECT_EQ(harness.ModelValue("stream.asioClass"), "2");
    EXPECT_EQ(ServerNotifications(), (std::vector<uint32_t>{3010}));
    EXPECT_EQ(SelectAll(), 0u);
    EXPECT_EQ(harness.ModelValue("stream.mode"), "1");
    EXPECT_EQ(ServerNotifications(), (std::vector<uint32_t>{3010}));

    // A failed bring-down still notifies.
    harness.Control("fault fail 0x80882100 0xE0000002");
    EXPECT_EQ(SetBuffers(), KORVEL_STATUS_INTERNAL_ERROR);
    EXPECT_EQ(ServerNotifications(), (std::vector<uint32_t>{3010}));
}

TEST_F(ServedTest, RequestPayloadsAndUnknownCodes)
{
    EXPECT_EQ(harness.Client().SetDsdMode(0x7F), 0u);
    EXPECT_EQ(harness.Client().SetDsdMode(1), 0u);

    KorvelMessage reply;
    uint8_t bytes[8] = {};
    ASSERT_EQ(harness.Exchange(1999, nullptr, 0, reply), 0u);
    EXPECT_EQ(reply.code, KORVEL_MSG_REPLY);
    EXPECT_EQ(reply.result, KORVEL_STATUS_INVALID_COMMAND);
    ASSERT_EQ(harness.Exchange(KORVEL_MSG_SET_SAMPLE_RATE, bytes, 2, reply), 0u);
    EXPECT_EQ(reply.result, KORVEL_STATUS_INVALID_MSG_SIZE);
    ASSERT_EQ(harness.Exchange(KORVEL_MSG_SET_POLICY, bytes, 8, reply), 0u);
    EXPECT_EQ(reply.result, KORVEL_STATUS_INVALID_LENGTH);
    ASSERT_EQ(harness.Exchange(KORVEL_MSG_SET_DSD_MODE, bytes, 0, reply), 0u);
    EXPECT_EQ(reply.result, KORVEL_STATUS_INVALID_MSG_SIZE);
}

TEST_F(ServedTest, NotificationsDriveStreaming)
{
    harness.Control("activity 1 1"); // raises 3003
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "4");
    harness.Control("activity 1 0"); // raises 3004
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "2");

    harness.Control("notify 3015 0"); // two words
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "2") << "nothing needs streaming";
    harness.Control("activity 5 1"); // raises 3003
    ASSERT_TRUE(harness.SyncWithServer());
    harness.Control("state 2");
    harness.Control("notify 3006");
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "4");

    harness.Control("activity 5 0"); // raises 3004
    ASSERT_TRUE(harness.SyncWithServer());
    harness.Control("state 4");
    harness.Control("notify 3016"); // no payload: dropped
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "4");
    harness.Control("notify 3016 0");
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "2");
}

TEST_F(ServedTest, DeviceListChangesAreFollowed)
{
    harness.TakeNotifications();
    harness.Control("plug serial=SECOND1"); // raises 3005
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
    EXPECT_EQ(harness.ModelValue("dev.1.setup.count"), "1");
    harness.Control("unplug 0");
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
    KorvelWdmConfigRecord record{key, 0, 0};
    KorvelMessage reply;
    ASSERT_EQ(harness.Exchange(KORVEL_CUSTOM_GET_WDM_CONFIG, &record, sizeof(record), reply), 0u);
    EXPECT_EQ(reply.result, KORVEL_STATUS_OBJECT_NOT_FOUND) << "its controller is gone";
}

TEST_F(ServedTest, AnOpenAsioClientKeepsStreamingRunning)
{
    KorvelDriver asio;
    ASSERT_EQ(asio.OpenWithEvents(KORVEL_ASIO_CONTROL_DEVICE_NAME, true, true), 0u);
    ASSERT_EQ(asio.SetClientType(KORVEL_CLIENT_ASIO), 0u);
    KorvelStreamingState state{};
    ASSERT_EQ(asio.GetStreamingState(state), 0u); // what an ASIO driver reads first
    ASSERT_TRUE(harness.SyncWithServer());
    ASSERT_EQ(asio.GetStreamingState(state), 0u);
    EXPECT_EQ(state.activityCount1, 1u);
    EXPECT_EQ(state.state, 4u);
    asio.CloseAll();
    EXPECT_TRUE(ServerHarness::WaitFor([&] {
        harness.SyncWithServer();
        return harness.ModelValue("stream.state") == "2";
    }));
}
