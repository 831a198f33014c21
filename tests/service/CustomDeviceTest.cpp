// The quillo controller against the simulator: what a device receives when
// it is attached, endpoint switching, gain save and restore, the WDM
// configuration requests and the registry configuration.
#include "CustomServer.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "ServerHarness.h"
#include "WdmConfig.h"
#include "WdmTableBuilder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::wstring ROOT = L"Software\\VANTREL\\quillo";

std::wstring DeviceKeyPath(const std::wstring& serial)
{
    return ROOT + L"\\Devices\\" + serial;
}

void DeleteDeviceKey(const std::wstring& serial)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, DeviceKeyPath(serial).c_str());
}

class CustomDeviceTest : public ::testing::Test
{
protected:
    // Plugs one device with `plugWords` and starts the server on it.
    void Start(const std::string& serial, const std::string& plugWords = "")
    {
        m_serial.assign(serial.begin(), serial.end());
        ASSERT_EQ(harness.StartSim(0), 0u);
        ASSERT_EQ(harness.Control("plug serial=" + serial + " " + plugWords).rfind("OK", 0), 0u);
        harness.Client();
        harness.StartServe(server);
        ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
        harness.WithModel([&](SimDeviceModel& m) { key = m.Devices().At(0)->Key(); });
    }
    void TearDown() override
    {
        harness.StopServe();
        if (!m_serial.empty()) {
            DeleteDeviceKey(m_serial);
        }
    }

    template <class F> void WithDevice(F f)
    {
        harness.WithModel([&](SimDeviceModel& m) { f(*m.Devices().At(0)); });
    }
    SimMixer::Gain Gain(uint8_t type, uint8_t channel)
    {
        SimMixer::Gain gain{};
        WithDevice([&](SimDevice& d) { gain = d.Mixer().GainOf({type, channel, {0, 0}}); });
        return gain;
    }
    void SetGainQuietly(uint8_t type, uint8_t channel, int16_t value)
    {
        WithDevice([&](SimDevice& d) { d.Mixer().SetGain({type, channel, {0, 0}}, value, false); });
    }
    // Stores a saved-volume record as the kernel driver would hold it.
    void Seed(const KorvelSavedVolume& record)
    {
        KorvelClient& client = harness.Client();
        bool changed = false;
        ASSERT_EQ(client.RefreshDevices(changed), 0u);
        ASSERT_EQ(client.DeviceAt(0)->SaveVolume(record), 0u);
    }
    void EndpointEvent(uint32_t kind, uint32_t value)
    {
        harness.Control("endpoint-event 0 " + std::to_string(kind) + " " + std::to_string(value));
        ASSERT_TRUE(harness.SyncWithServer());
        // A restore raises 3051 while the server works; let that save run too.
        ASSERT_TRUE(harness.SyncWithServer());
    }
    std::vector<std::string> EndpointLog()
    {
        std::vector<std::string> log;
        WithDevice([&](SimDevice& d) {
            for (const auto& call : d.EndpointLog()) {
                log.push_back(std::string(call.state ? "state " : "param ") +
                              std::to_string(call.selector) + " " + std::to_string(call.value));
            }
        });
        return log;
    }
    KorvelMessage WdmRequest(uint32_t code, uint32_t render, uint32_t capture,
                             KorvelDeviceKey target)
    {
        KorvelWdmConfigRecord record{target, render, capture};
        KorvelMessage reply;
        EXPECT_EQ(harness.Exchange(code, &record, sizeof(record), reply), 0u);
        return reply;
    }
    uint32_t PairTablesReceived()
    {
        return std::stoul(harness.ModelValue("dev.0.wdm.pairs.received"));
    }
    KorvelWdmPairTable ReceivedPairTable()
    {
        KorvelWdmPairTable table{};
        WithDevice([&](SimDevice& d) {
            if (d.PairTable() != nullptr) {
                table = *d.PairTable();
            }
        });
        return table;
    }
    DWORD RegistryValue(const wchar_t* name, DWORD& value)
    {
        WnRegistryKey key;
        DWORD status = key.Open(HKEY_LOCAL_MACHINE, DeviceKeyPath(m_serial).c_str(), KEY_READ);
        return status != ERROR_SUCCESS ? status : key.ReadDword(name, value);
    }

    ServerHarness harness;
    CustomServer server;
    KorvelDeviceKey key{};
    std::wstring m_serial;
};

} // namespace

TEST_F(CustomDeviceTest, DeviceStartAsTheDeviceReceivesIt)
{
    DeleteDeviceKey(L"START01");
    // Routes the service must set, and endpoints it must prepare, differ at first.
    ASSERT_EQ(harness.StartSim(0), 0u);
    m_serial = L"START01";
    harness.Control("plug serial=START01");
    harness.Control("set 0 weight 5 0 2 0 -300 0");
    harness.Control("set 0 weight 5 1 2 1 -300 0");
    harness.Client();
    harness.StartServe(server);
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));

    WithDevice([&](SimDevice& d) {
        ASSERT_NE(d.Setup(), nullptr);
        const auto* setup = reinterpret_cast<const uint8_t*>(d.Setup());
        const uint8_t head[16] = {2, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0};
        EXPECT_EQ(std::memcmp(setup, head, 16), 0);
        for (size_t i = 16; i < 136; ++i) {
            EXPECT_EQ(setup[i], 0) << i;
        }
        for (uint8_t ch = 0; ch < 2; ++ch) {
            SimMixer::Weight w = d.Mixer().WeightOf({5, ch, {0, 0}}, {2, ch, {0, 0}});
            EXPECT_EQ(w.weight, 0);
            EXPECT_EQ(w.flags, 1);
        }
        // Both tables exactly as built for a device without kind-2 functions
        // and an empty registry.
        auto channels = std::make_unique<KorvelWdmChannelTable>();
        WdmTableBuilder::BuildChannelTable(*channels, false, false);
        ASSERT_NE(d.ChannelTable(), nullptr);
        EXPECT_EQ(std::memcmp(d.ChannelTable(), channels.get(), sizeof(*channels)), 0);
        auto pairs = std::make_unique<KorvelWdmPairTable>();
        WdmTableBuilder::BuildPairTable(*pairs, 0, 0);
        ASSERT_NE(d.PairTable(), nullptr);
        EXPECT_EQ(std::memcmp(d.PairTable(), pairs.get(), sizeof(*pairs)), 0);
        // Spot checks at raw offsets: first render pair's name, MIDI in's direction.
        const auto* raw = reinterpret_cast<const uint8_t*>(d.PairTable());
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(raw + 4744 + 48)),
                  L"quillo Out 1/2");
        int32_t midiIn = 0;
        std::memcpy(&midiIn, raw + 4 + 11 * 148 + 132, 4);
        EXPECT_EQ(midiIn, -1);
    });
    EXPECT_EQ(EndpointLog(),
              (std::vector<std::string>{"state 0 0", "param 0 8", "state 2 0", "param 2 8"}));
    // Nothing needs streaming: brought up to ready only.
    EXPECT_EQ(harness.ModelValue("stream.state"), "2");
    // The configuration key was created on the first load.
    WnRegistryKey created;
    EXPECT_EQ(created.Open(HKEY_LOCAL_MACHINE, DeviceKeyPath(L"START01").c_str(), KEY_READ), 0u);
}

TEST_F(CustomDeviceTest, EndpointsFollowStreaming)
{
    Start("ENDPT01");
    const size_t before = EndpointLog().size();
    harness.Control("activity 1 1");
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "4");
    harness.Control("activity 1 0");
    ASSERT_TRUE(harness.SyncWithServer());
    EXPECT_EQ(harness.ModelValue("stream.state"), "2");
    auto log = EndpointLog();
    EXPECT_EQ(std::vector<std::string>(log.begin() + before, log.end()),
              (std::vector<std::string>{"state 0 1", "state 2 1", "state 0 0", "state 2 0"}));
}

TEST_F(CustomDeviceTest, FailedStartOfTheOnlyDeviceIsRetriedOnTheTimer)
{
    ASSERT_EQ(harness.StartSim(0), 0u);
    m_serial = L"RETRY01";
    harness.Control("plug serial=RETRY01");
    harness.Control("fault fail 0x80882C40 0xE0000002"); // the channel table
    harness.Client();
    harness.StartServe(server);
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
    EXPECT_EQ(harness.ModelValue("dev.0.wdm.pairs.received"), "0") << "start ended there";
    // The listed device has no controller: the server stays and tries again
    // on its own, without an arrival.
    EXPECT_TRUE(ServerHarness::WaitFor(
        [&] { return harness.ModelValue("dev.0.wdm.pairs.received") == "1"; },
        KorvelServer::RETRY_PERIOD_MS + 7000))
        << "the start was retried";
    EXPECT_EQ(harness.Control("stats").find("server=-"), std::string::npos)
        << "the server stayed connected";
}

TEST_F(CustomDeviceTest, GainsAreSavedAndRestored)
{
    Start("GAIN01");
    harness.Control("set 0 gain 0 0 -600 1"); // raises 3051
    ASSERT_TRUE(harness.SyncWithServer());
    std::string serial = "GAIN01";
    harness.WithModel([&](SimDeviceModel& m) {
        KorvelSavedVolume saved{};
        ASSERT_TRUE(m.Volumes().Find(serial, 2, 0, saved));
        EXPECT_EQ(saved.pairIndex, 0u);
        EXPECT_EQ(saved.gains[0], -393216);
        EXPECT_EQ(saved.mutes[0], 1u);
        EXPECT_EQ(saved.gains[1], 0);
        EXPECT_EQ(m.Volumes().Size(), 9u) << "every pair but the MIDI port";
        EXPECT_FALSE(m.Volumes().Find(serial, 2, 9, saved));
    });

    SetGainQuietly(0, 0, 0);
    EndpointEvent(2, 0);
    EXPECT_EQ(Gain(0, 0).gain, -600);
    EXPECT_EQ(Gain(0, 0).flags, 1);
    // Kind 1 is passed to the controller, which does nothing with it.
    SetGainQuietly(0, 0, 0);
    EndpointEvent(1, 0);
    EXPECT_EQ(Gain(0, 0).gain, 0);
}

TEST_F(CustomDeviceTest, RestoreClampsLargeSavedGains)
{
    Start("GAIN02");
    KorvelSavedVolume record{};
    record.kind = 2;
    record.pairIndex = 1;       // Out 3/4
    record.gains[0] = 6553600;  // +100 dB
    record.gains[1] = -6553600; // -100 dB
    Seed(record);
    EndpointEvent(2, 1);
    EXPECT_EQ(Gain(0, 2).gain, 9000);
    EXPECT_EQ(Gain(0, 3).gain, -9000);

    // Setting the gains raised 3051, whose save replaced every record: seed
    // the next one only now.
    record.pairIndex = 2; // Out 5/6
    record.gains[0] = INT32_MIN;
    record.gains[1] = INT32_MAX;
    record.mutes[0] = 1;
    Seed(record);
    EndpointEvent(2, 2);
    EXPECT_EQ(Gain(0, 4).gain, -9000);
    EXPECT_EQ(Gain(0, 4).flags, 1);
    EXPECT_EQ(Gain(0, 5).gain, 9000);
}

TEST_F(CustomDeviceTest, RestoreIgnoresIndicesWithoutAudioPair)
{
    Start("GAIN03");
    KorvelSavedVolume record{};
    record.kind = 2;
    record.gains[0] = 6553600;
    record.gains[1] = 6553600;
    record.pairIndex = 10; // the render count
    Seed(record);
    record.pairIndex = 9; // the MIDI port
    Seed(record);
    SetGainQuietly(1, 0, -100);
    SetGainQuietly(1, 1, -100);
    EndpointEvent(2, 10);
    EndpointEvent(2, 9);
    EndpointEvent(2, 0xFFFFFFFFu);
    EXPECT_EQ(Gain(1, 0).gain, -100) << "S/PDIF gains untouched";
    EXPECT_EQ(Gain(1, 1).gain, -100);
}

TEST_F(CustomDeviceTest, WdmConfigurationRequests)
{
    DeleteDeviceKey(L"WDMREQ1");
    Start("WDMREQ1");
    KorvelMessage reply = WdmRequest(KORVEL_CUSTOM_GET_WDM_CONFIG, 7, 7, key);
    EXPECT_EQ(reply.result, 0u);
    EXPECT_EQ(reply.code, KORVEL_CUSTOM_REPLY_WDM_CONFIG);
    KorvelWdmConfigRecord record{};
    ASSERT_EQ(reply.ReadPayload(record), 0u);
    EXPECT_EQ(record.key, key);
    EXPECT_EQ(record.renderConfiguration, 0u);
    EXPECT_EQ(record.captureConfiguration, 0u);

    reply = WdmRequest(KORVEL_CUSTOM_GET_WDM_CONFIG, 0, 0, {key.word0 + 1, key.word1});
    EXPECT_EQ(reply.result, KORVEL_STATUS_OBJECT_NOT_FOUND);
    EXPECT_EQ(reply.code, KORVEL_MSG_REPLY);

    const uint32_t received = PairTablesReceived();
    reply = WdmRequest(KORVEL_CUSTOM_SET_WDM_CONFIG, 1, 0, key);
    EXPECT_EQ(reply.result, KORVEL_STATUS_INVALID_PARAMETER);
    reply = WdmRequest(KORVEL_CUSTOM_SET_WDM_CONFIG, 0, 1, key);
    EXPECT_EQ(reply.result, KORVEL_STATUS_INVALID_PARAMETER);
    reply = WdmRequest(KORVEL_CUSTOM_SET_WDM_CONFIG, 0, 0, {0, 0});
    EXPECT_EQ(reply.result, KORVEL_STATUS_OBJECT_NOT_FOUND);
    EXPECT_EQ(PairTablesReceived(), received) << "refused requests change nothing";

    harness.Control("activity 1 1");
    ASSERT_TRUE(harness.SyncWithServer());
    reply = WdmRequest(KORVEL_CUSTOM_SET_WDM_CONFIG, 0, 0, key);
    EXPECT_EQ(reply.result, 0u);
    EXPECT_EQ(reply.code, KORVEL_MSG_REPLY);
    EXPECT_EQ(PairTablesReceived(), received + 1);
    EXPECT_EQ(harness.ModelValue("stream.state"), "4") << "brought up again";
    DWORD value = 7;
    EXPECT_EQ(RegistryValue(WdmConfig::RENDER_VALUE, value), 0u);
    EXPECT_EQ(value, 0u);
    value = 7;
    EXPECT_EQ(RegistryValue(WdmConfig::CAPTURE_VALUE, value), 0u);
    EXPECT_EQ(value, 0u);
}

TEST_F(CustomDeviceTest, RegistryValuesOfTheWrongTypeOrSizeAreIgnored)
{
    DeleteDeviceKey(L"REGBAD1");
    {
        WnRegistryKey k;
        ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, DeviceKeyPath(L"REGBAD1").c_str(), KEY_WRITE), 0u);
        ASSERT_EQ(k.WriteString(WdmConfig::RENDER_VALUE, L"1"), 0u);
        const uint64_t wide = 1;
        ASSERT_EQ(k.WriteBinary(WdmConfig::CAPTURE_VALUE, &wide, sizeof(wide)), 0u);
    }
    Start("REGBAD1");
    KorvelWdmPairTable table = ReceivedPairTable();
    EXPECT_EQ(table.renderCount, 10u);
    EXPECT_EQ(table.captureCount, 12u);

    // An 8-byte binary as the render value too.
    uint32_t render = 5, capture = 6;
    {
        WnRegistryKey k;
        ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, DeviceKeyPath(L"REGBAD1").c_str(), KEY_WRITE), 0u);
        const uint64_t wide = 1;
        ASSERT_EQ(k.WriteBinary(WdmConfig::RENDER_VALUE, &wide, sizeof(wide)), 0u);
    }
    EXPECT_EQ(WdmConfig::Load(ROOT, L"REGBAD1", render, capture), 0u);
    EXPECT_EQ(render, 5u);
    EXPECT_EQ(capture, 6u);
}

TEST_F(CustomDeviceTest, CaptureConfigurationOneListsNoAnalogInputs)
{
    DeleteDeviceKey(L"REGCAP1");
    {
        WnRegistryKey k;
        ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, DeviceKeyPath(L"REGCAP1").c_str(), KEY_WRITE), 0u);
        ASSERT_EQ(k.WriteDword(WdmConfig::CAPTURE_VALUE, 1), 0u);
    }
    Start("REGCAP1");
    KorvelWdmPairTable table = ReceivedPairTable();
    EXPECT_EQ(table.renderCount, 10u);
    ASSERT_EQ(table.captureCount, 4u);
    EXPECT_STREQ(table.capture[0].name, L"quillo SPDIF In 1/2");
    EXPECT_STREQ(table.capture[1].name, L"quillo Virtual In 1/2");
    EXPECT_STREQ(table.capture[2].name, L"quillo Virtual In 3/4");
    EXPECT_STREQ(table.capture[3].name, L"quillo Midi In");
    EXPECT_EQ(table.capture[3].entryIndex, 3u);

    KorvelMessage reply = WdmRequest(KORVEL_CUSTOM_GET_WDM_CONFIG, 0, 0, key);
    KorvelWdmConfigRecord record{};
    ASSERT_EQ(reply.ReadPayload(record), 0u);
    EXPECT_EQ(record.captureConfiguration, 1u);

    // Only 0 can be set by request; doing so lists the inputs again.
    reply = WdmRequest(KORVEL_CUSTOM_SET_WDM_CONFIG, 0, 0, key);
    EXPECT_EQ(reply.result, 0u);
    EXPECT_EQ(ReceivedPairTable().captureCount, 12u);
    DWORD value = 7;
    EXPECT_EQ(RegistryValue(WdmConfig::CAPTURE_VALUE, value), 0u);
    EXPECT_EQ(value, 0u);
}

TEST_F(CustomDeviceTest, Kind2FunctionShortensOnlyTheChannelTable)
{
    DeleteDeviceKey(L"KIND2A");
    Start("KIND2A", "kind2=1");
    WithDevice([&](SimDevice& d) {
        ASSERT_NE(d.ChannelTable(), nullptr);
        EXPECT_EQ(d.ChannelTable()->renderCount, 2u);
        EXPECT_STREQ(d.ChannelTable()->render[0].name, L"quillo SPDIF 1");
        EXPECT_EQ(d.ChannelTable()->captureCount, 6u);
        EXPECT_EQ(d.PairTable()->renderCount, 10u);
        EXPECT_EQ(d.PairTable()->captureCount, 12u);
    });
}

TEST(WdmConfig, MissingValuesLeaveTheMembersAndCreateTheKey)
{
    const std::wstring root =
        L"Software\\VANTREL\\quillo-test-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
    uint32_t render = 0, capture = 0;
    EXPECT_EQ(WdmConfig::Load(root, L"NEW1", render, capture), 0u);
    EXPECT_EQ(render, 0u);
    EXPECT_EQ(capture, 0u);
    // Created in the 64-bit view, where the 64-bit service keeps it, whatever
    // this process's bitness.
    WnRegistryKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, (root + L"\\Devices\\NEW1").c_str(),
                       KEY_READ | KEY_WOW64_64KEY),
              0u);
    key.Close();

    EXPECT_EQ(WdmConfig::Store(root, L"NEW1", 3, 4), 0u);
    EXPECT_EQ(WdmConfig::Load(root, L"NEW1", render, capture), 0u);
    EXPECT_EQ(render, 3u);
    EXPECT_EQ(capture, 4u);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
}

TEST(WdmConfig, SerialNumbersAreEscapedIntoOneKeyLevel)
{
    EXPECT_EQ(WdmConfig::KeyName(L"QV100234"), L"QV100234") << "plain serials stay as stored";
    EXPECT_EQ(WdmConfig::KeyName(L"EVIL\\x"), L"EVIL%5Cx");
    EXPECT_EQ(WdmConfig::KeyName(L"50%\\"), L"50%25%5C");
    EXPECT_EQ(WdmConfig::KeyName(std::wstring(L"a\tb")), L"a%09b");
    EXPECT_EQ(WdmConfig::KeyName(L""), WdmConfig::NO_SERIAL_KEY);

    const std::wstring root =
        L"Software\\VANTREL\\quillo-esc-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
    EXPECT_EQ(WdmConfig::Store(root, L"EVIL\\x", 1, 0), 0u);
    EXPECT_EQ(WdmConfig::Store(root, L"", 0, 1), 0u);
    WnRegistryKey key;
    EXPECT_NE(key.Open(HKEY_LOCAL_MACHINE, (root + L"\\Devices\\EVIL").c_str(), KEY_READ), 0u)
        << "no second key level";
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, (root + L"\\Devices").c_str(), KEY_READ), 0u);
    DWORD value = 0;
    EXPECT_NE(key.ReadDword(WdmConfig::CAPTURE_VALUE, value), 0u)
        << "nothing is stored on the Devices level itself";
    key.Close();
    uint32_t render = 0, capture = 0;
    EXPECT_EQ(WdmConfig::Load(root, L"EVIL\\x", render, capture), 0u);
    EXPECT_EQ(render, 1u);
    EXPECT_EQ(capture, 0u);
    EXPECT_EQ(WdmConfig::Load(root, L"", render, capture), 0u);
    EXPECT_EQ(render, 0u);
    EXPECT_EQ(capture, 1u);
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE,
                       (root + L"\\Devices\\" + WdmConfig::NO_SERIAL_KEY).c_str(), KEY_READ),
              0u);
    key.Close();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
}

TEST(CustomDeviceTimer, TicksOnTheArmingThreadAndNeverAfterDestruction)
{
    ServerHarness harness;
    ASSERT_EQ(harness.StartSim(0), 0u);
    harness.Control("plug serial=TIMER01");
    KorvelClient& client = harness.Client();
    bool changed = false;
    ASSERT_EQ(client.RefreshDevices(changed), 0u);
    ASSERT_EQ(client.DeviceCount(), 1u);
    auto device = std::make_unique<CustomDevice>(ROOT);
    ASSERT_EQ(device->OpenFor(KORVEL_CONTROL_DEVICE_NAME, client.DeviceAt(0)->Info()), 0u);
    // The first completion comes almost at once, the next after 3 s, and
    // only during alertable waits of this thread.
    EXPECT_EQ(SleepEx(2000, TRUE), static_cast<DWORD>(WAIT_IO_COMPLETION));
    EXPECT_EQ(SleepEx(300, TRUE), 0u);
    // A completion that expires while the thread is busy is queued to it;
    // destruction withdraws it, so it never runs on a freed object.
    Sleep(CustomDevice::TIMER_PERIOD_MS + 200);
    device.reset();
    EXPECT_EQ(SleepEx(0, TRUE), 0u);
    DeleteDeviceKey(L"TIMER01");
}
