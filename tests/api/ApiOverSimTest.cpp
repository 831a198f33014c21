// Connections, enumeration and request/reply exchanges against the device
// simulator running in this process, reached through the simulator link.
#include "InProcessSimTest.h"
#include "KorvelClient.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "TestServerLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace {

uint32_t PayloadWord(const KorvelMessage& message)
{
    uint32_t word = 0;
    std::memcpy(&word, message.payload, sizeof(word));
    return word;
}

class ApiOverSimTest : public InProcessSimTest
{
protected:
    // Waits until the simulator counts `count` connections.
    bool WaitConnections(unsigned count)
    {
        const std::string expected = "connections=" + std::to_string(count) + " ";
        for (int i = 0; i < 500; ++i) {
            if (m_sim.Control("stats").find(expected) != std::string::npos) {
                return true;
            }
            Sleep(10);
        }
        return false;
    }
};

} // namespace

TEST_F(ApiOverSimTest, SecondOpenIsRejectedAndFirstHandleStaysUsable)
{
    KorvelApiContext context;
    ASSERT_EQ(context.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_EQ(context.Open(KORVEL_CONTROL_DEVICE_NAME), KORVEL_STATUS_REJECTED);
    EXPECT_TRUE(context.IsOpen());
    KorvelStreamingState state{};
    EXPECT_EQ(context.GetStreamingState(state), 0u);
    EXPECT_TRUE(WaitConnections(1));

    context.Close();
    EXPECT_EQ(context.GetStreamingState(state), KORVEL_STATUS_NOT_OPENED);
    EXPECT_TRUE(WaitConnections(0));
}

TEST_F(ApiOverSimTest, FailedOpenStepsLeaveTheConnectionClosed)
{
    KorvelApiContext context;
    Control("version 3 0");
    EXPECT_EQ(context.Open(KORVEL_CONTROL_DEVICE_NAME), KORVEL_STATUS_VERSION_MISMATCH);
    EXPECT_FALSE(context.IsOpen());
    KorvelVersionInfo version{};
    EXPECT_EQ(context.GetVersion(version), KORVEL_STATUS_NOT_OPENED);
    EXPECT_TRUE(WaitConnections(0)) << "the handle was not closed";

    Control("version 2 0");
    Control("fault fail 80882004 e0000004");
    EXPECT_EQ(context.Open(KORVEL_ASIO_CONTROL_DEVICE_NAME), KORVEL_STATUS_NO_RESOURCES);
    EXPECT_FALSE(context.IsOpen());

    EXPECT_EQ(context.Open(L"{00000000-0000-0000-0000-000000000000}"),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(context.IsOpen());
    EXPECT_EQ(context.Open(KORVEL_ASIO_CONTROL_DEVICE_NAME), 0u);
}

TEST_F(ApiOverSimTest, MixerPinCountComesFromTheBytesReturned)
{
    Control("plug serial=MIX6 analog-in=4 spdif=1");
    Control("plug serial=MIX0 analog-in=0 spdif=0");
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    bool changed = false;
    ASSERT_EQ(driver.RefreshDevices(changed), 0u);
    ASSERT_EQ(driver.DeviceCount(), 2u);

    KorvelMixerPin pins[KORVEL_MIXER_MAX_INPUT_PINS] = {};
    uint32_t count = 0;
    EXPECT_EQ(driver.DeviceAt(0)->GetMixerPins(KORVEL_MIXER_PINSET_HARDWARE_INPUT, pins,
                                               KORVEL_MIXER_MAX_INPUT_PINS, count),
              0u);
    EXPECT_EQ(count, 6u); // four analog inputs and the SPDIF pair: 24 bytes
    EXPECT_EQ(pins[4].type, KORVEL_MIXER_PIN_SPDIF);
    count = 99;
    EXPECT_EQ(driver.DeviceAt(1)->GetMixerPins(KORVEL_MIXER_PINSET_HARDWARE_INPUT, pins,
                                               KORVEL_MIXER_MAX_INPUT_PINS, count),
              0u);
    EXPECT_EQ(count, 0u);
}

TEST_F(ApiOverSimTest, ReplugWithANewKeyBindsTheObjectAgainAndRemovalDeletesIt)
{
    Control("plug serial=AAA");
    Control("plug serial=BBB");
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    bool changed = false;
    ASSERT_EQ(driver.RefreshDevices(changed), 0u);
    EXPECT_TRUE(changed);
    ASSERT_EQ(driver.DeviceCount(), 2u);
    KorvelDevice* a = driver.DeviceAt(0);
    const KorvelDeviceKey oldKey = a->Info().key;
    EXPECT_TRUE(WaitConnections(3));

    // Unplugged and plugged again between two enumerations: a new key. The
    // old binding names a device that is gone, so the object is bound again.
    Control("unplug AAA");
    Control("plug serial=AAA");
    KorvelAudioFunctions functions{};
    EXPECT_EQ(a->GetAudioFunctions(functions), KORVEL_STATUS_DEVICE_REMOVED);
    ASSERT_EQ(driver.RefreshDevices(changed), 0u);
    EXPECT_TRUE(changed);
    ASSERT_EQ(driver.DeviceCount(), 2u);
    EXPECT_FALSE(a->Info().key == oldKey);
    EXPECT_EQ(driver.FindDevice(a->Info().key.word0, a->Info().key.word1), a);
    EXPECT_EQ(driver.FindDevice(oldKey.word0, oldKey.word1), nullptr);
    EXPECT_EQ(a->GetAudioFunctions(functions), 0u) << "the handle serves the device again";
    EXPECT_TRUE(WaitConnections(3)) << "the old device connection was replaced";

    Control("unplug BBB");
    ASSERT_EQ(driver.RefreshDevices(changed), 0u);
    EXPECT_TRUE(changed);
    ASSERT_EQ(driver.DeviceCount(), 1u);
    EXPECT_EQ(driver.DeviceAt(0), a);
    EXPECT_EQ(driver.DeviceAt(1), nullptr);
    EXPECT_TRUE(WaitConnections(2)) << "the removed device's handle stays open";
}

TEST_F(ApiOverSimTest, FailedEnumerationEmptiesTheList)
{
    Control("plug serial=AAA");
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    bool changed = false;
    ASSERT_EQ(driver.RefreshDevices(changed), 0u);
    ASSERT_EQ(driver.DeviceCount(), 1u);

    Control("fault fail 80882080 e0000027");
    EXPECT_EQ(driver.RefreshDevices(changed), KORVEL_STATUS_NO_DEVICES);
    EXPECT_TRUE(changed);
    EXPECT_EQ(driver.DeviceCount(), 0u);
    Control("fault fail 80882080 e0000027");
    EXPECT_EQ(driver.RefreshDevices(changed), KORVEL_STATUS_NO_DEVICES);
    EXPECT_FALSE(changed) << "nothing was left to lose";
}

TEST_F(ApiOverSimTest, RefusedRegistrationsCloseTheConnection)
{
    TestServerLoop server([](const KorvelMessage&) { return 0u; });
    ASSERT_EQ(server.Start(KORVEL_CONTROL_DEVICE_NAME), 0u);
    KorvelDriver second;
    EXPECT_EQ(second.OpenTyped(KORVEL_CONTROL_DEVICE_NAME, KORVEL_CLIENT_SERVER, true, true),
              KORVEL_STATUS_ALREADY_DONE);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.MessageEvent(), nullptr);
    EXPECT_EQ(second.NotificationEvent(), nullptr);

    Control("fault fail 80882058 e0000004");
    EXPECT_EQ(second.OpenPanelView(KORVEL_CONTROL_DEVICE_NAME), KORVEL_STATUS_NO_RESOURCES);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.OpenPanelView(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_TRUE(WaitConnections(2));
}

TEST_F(ApiOverSimTest, ExchangeCarriesTheServersResult)
{
    TestServerLoop server([](const KorvelMessage& request) {
        return PayloadWord(request) == 44100 ? KORVEL_STATUS_SOUND_DEVICE_IN_USE : 0u;
    });
    KorvelClient client;
    ASSERT_EQ(client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_EQ(client.SetSampleRate(48000, 2000), KORVEL_STATUS_NO_SERVER);

    ASSERT_EQ(server.Start(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_EQ(client.SetSampleRate(44100), KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(client.SetSampleRate(48000), 0u);
}

TEST_F(ApiOverSimTest, LostAndLateRepliesEndInTimeoutsAndAreNotMistaken)
{
    TestServerLoop server([](const KorvelMessage& request) { return PayloadWord(request); });
    ASSERT_EQ(server.Start(KORVEL_CONTROL_DEVICE_NAME), 0u);
    KorvelClient client;
    ASSERT_EQ(client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);

    Control("fault drop-replies 1");
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(client.SetPolicy(7, 300), KORVEL_STATUS_TIMEOUT);
    EXPECT_GE(GetTickCount64() - start, 280u);
    EXPECT_EQ(client.SetPolicy(8, 2000), 8u);

    // A reply that comes after its request gave up is queued with the next
    // request's: it must be dropped, not taken as that request's answer.
    Control("fault delay-replies 300");
    EXPECT_EQ(client.SetPolicy(9, 100), KORVEL_STATUS_TIMEOUT);
    Control("fault clear");
    Sleep(400);
    EXPECT_EQ(client.SetPolicy(10, 2000), 10u);
    EXPECT_EQ(server.Served(), 4u);
}

TEST_F(ApiOverSimTest, TwoThreadsExchangeOnOneConnection)
{
    TestServerLoop server([](const KorvelMessage& request) { return PayloadWord(request); });
    ASSERT_EQ(server.Start(KORVEL_CONTROL_DEVICE_NAME), 0u);
    KorvelClient client;
    ASSERT_EQ(client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    std::atomic<int> wrong{0};
    auto run = [&](uint32_t base) {
        for (uint32_t i = 0; i < 50; ++i) {
            if (client.SetPolicy(base + i, 5000) != base + i) {
                ++wrong;
            }
            KorvelStreamingState state{};
            if (client.GetStreamingState(state) != 0) {
                ++wrong;
            }
        }
    };
    std::thread first(run, 1000u);
    std::thread second(run, 2000u);
    first.join();
    second.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(client.LastSequenceNumber(), 100u);
}
