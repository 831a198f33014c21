// Driver-wide requests of the device model: device list, streaming state
// machine, sample rates, buffer sizes, streaming device and channels.
#include "KorvelServiceRecords.h"
#include "SimModelFixture.h"

#include <set>

TEST_F(SimModelFixture, DeviceListHoldsEightDevicesAndRefusesANinth)
{
    EXPECT_EQ(DriverGet<KorvelDeviceList>(IOCTL_KORVEL_GET_DEVICE_LIST).count, 0u);
    ASSERT_EQ(model.AddDevices(8), 0u);
    auto list = DriverGet<KorvelDeviceList>(IOCTL_KORVEL_GET_DEVICE_LIST);
    ASSERT_EQ(list.count, 8u);
    std::set<std::pair<uint32_t, uint32_t>> keys;
    for (const auto& info : list.devices) {
        keys.insert({info.key.word0, info.key.word1});
        EXPECT_TRUE(model.HasDevice(info.key.word0, info.key.word1));
        EXPECT_NE(info.flags & KORVEL_DEVICE_FLAG_HIGH_SPEED, 0u);
    }
    EXPECT_EQ(keys.size(), 8u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_DEVICE_LIST_CHANGED), 8u);

    std::string answer = Control("plug");
    EXPECT_EQ(answer.rfind("ERR device limit reached", 0), 0u) << answer;
    EXPECT_EQ(model.AddDevices(1), KORVEL_STATUS_NO_RESOURCES);
    EXPECT_EQ(DriverGet<KorvelDeviceList>(IOCTL_KORVEL_GET_DEVICE_LIST).count, 8u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_DEVICE_LIST_CHANGED), 8u);
}

TEST_F(SimModelFixture, ReplugGetsANewKeyAndOldHandlesSeeTheDeviceRemoved)
{
    ASSERT_EQ(Control("plug 4b56 0010 QV1 quillo").rfind("OK plugged index=0", 0), 0u);
    KorvelDeviceKey first = KeyOf(0);
    EXPECT_EQ(Control("unplug QV1"), "OK unplugged serial=QV1");
    EXPECT_FALSE(model.HasDevice(first.word0, first.word1));
    EXPECT_EQ(Call(true, first, IOCTL_KORVEL_GET_VOLUME_BYPASS, nullptr, 0, 1).status,
              KORVEL_STATUS_DEVICE_REMOVED);
    ASSERT_EQ(Control("plug 4b56 0010 QV1 quillo").rfind("OK", 0), 0u);
    EXPECT_FALSE(KeyOf(0) == first);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_DEVICE_LIST_CHANGED), 3u);
}

// Every command in every state: the legal moves go where they should, all
// others fail with INVALID_STATE and leave the state alone.
TEST_F(SimModelFixture, StreamingCommandsFollowTheStateMachine)
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    struct Move
    {
        uint32_t command, from, to;
    };
    const Move legal[] = {{1, 5, 1}, {1, 6, 1}, {2, 1, 2}, {3, 2, 1},
                          {4, 2, 3}, {5, 3, 4}, {6, 3, 2}, {6, 4, 2}};
    for (uint32_t from = 0; from <= 6; ++from) {
        for (uint32_t command = 1; command <= 6; ++command) {
            ASSERT_TRUE(model.Streaming().ForceState(from));
            uint32_t expected = from;
            uint32_t status = KORVEL_STATUS_INVALID_STATE;
            for (const Move& m : legal) {
                if (m.command == command && m.from == from) {
                    expected = m.to;
                    status = 0;
                }
            }
            EXPECT_EQ(Command(command, 1), status) << "command " << command << " in " << from;
            EXPECT_EQ(State(), expected) << "command " << command << " in " << from;
        }
    }
    EXPECT_EQ(Command(0), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Command(7), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Driver(IOCTL_KORVEL_STREAMING_COMMAND, "\x02\0\0", 4, 0).status,
              KORVEL_STATUS_INVALID_INBUFFER_SIZE);
}

TEST_F(SimModelFixture, ReadyNeedsAHighSpeedStreamingDevice)
{
    EXPECT_EQ(Command(2), KORVEL_STATUS_NO_DEVICES);
    EXPECT_EQ(State(), 1u);
    ASSERT_EQ(Control("plug highspeed=0").rfind("OK", 0), 0u);
    EXPECT_EQ(Command(2), KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE);
    EXPECT_EQ(State(), 6u);
    EXPECT_EQ(Control("set 0 highspeed 1"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_STREAM_RESTART_NEEDED), 1u);
    EXPECT_EQ(Command(1), 0u);
    EXPECT_EQ(Command(2), 0u);
    EXPECT_EQ(Command(4), 0u);
    EXPECT_EQ(Control("set 0 highspeed 0"), "OK");
    EXPECT_EQ(State(), 6u);
}

TEST_F(SimModelFixture, SampleRateChangesOnlyToSupportedRatesWhileNotStreaming)
{
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 44100), KORVEL_STATUS_NO_DEVICES);
    ASSERT_EQ(model.AddDevices(1), 0u);
    notifier.raised.clear();
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 44100), 0u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_SETTINGS_CHANGED), 1u);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 44100), 0u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_SETTINGS_CHANGED), 1u) << "no change, no notification";
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 12345), KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 0), KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE, 96000), 0u);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE, 1), KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE);

    auto rates = DriverGet<KorvelSampleRates>(IOCTL_KORVEL_GET_SAMPLE_RATES);
    EXPECT_EQ(rates.currentRate, 44100u);
    ASSERT_EQ(rates.count, 11u);
    EXPECT_EQ(rates.rates[10], 11289600u);

    ASSERT_EQ(Command(2), 0u);
    ASSERT_EQ(Command(4), 0u);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 48000), KORVEL_STATUS_INVALID_STATE);
    ASSERT_EQ(Command(5), 0u);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 2822400), KORVEL_STATUS_INVALID_STATE);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_POLICY, 1), KORVEL_STATUS_INVALID_STATE);
    ASSERT_EQ(Command(6), 0u);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 2822400), 0u);
    EXPECT_EQ(DriverGet<KorvelStreamingState>(IOCTL_KORVEL_GET_STREAMING_STATE).sampleRate,
              2822400u);
}

TEST_F(SimModelFixture, AllDevicesModeOffersOnlyCommonRatesAndChannelsUpTo96)
{
    ASSERT_EQ(Control("plug rates=44100,48000,96000").rfind("OK", 0), 0u);
    ASSERT_EQ(model.AddDevices(5), 0u);
    ASSERT_EQ(Control("plug rates=48000,96000,44100,192000").rfind("OK", 0), 0u);
    KorvelStreamingDeviceSelection all{1, {0, 0}};
    ASSERT_EQ(Driver(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, &all, sizeof(all), 0).status, 0u);
    EXPECT_GE(notifier.Count(KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST), 1u);

    auto rates = DriverGet<KorvelSampleRates>(IOCTL_KORVEL_GET_SAMPLE_RATES);
    ASSERT_EQ(rates.count, 3u);
    EXPECT_EQ(rates.rates[0], 44100u);
    EXPECT_EQ(rates.rates[2], 96000u);
    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 192000), KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE);

    auto list = DriverGet<KorvelDeviceList>(IOCTL_KORVEL_GET_DEVICE_LIST);
    for (uint32_t i = 0; i < list.count; ++i) {
        EXPECT_NE(list.devices[i].flags & KORVEL_DEVICE_FLAG_STREAMING, 0u);
    }
    EXPECT_EQ(DriverGet<KorvelStreamingState>(IOCTL_KORVEL_GET_STREAMING_STATE).mode, 1u);
    // 7 devices × 18 inputs exceed the record; it is cut at 96.
    EXPECT_EQ(DriverGet<KorvelChannelList>(IOCTL_KORVEL_GET_INPUT_CHANNELS).count, 96u);
}

TEST_F(SimModelFixture, SelectingAStreamingDevice)
{
    KorvelStreamingDeviceSelection none{0, {0, 0}};
    EXPECT_EQ(Driver(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, &none, 12, 0).status,
              KORVEL_STATUS_NO_DEVICES);
    ASSERT_EQ(model.AddDevices(2), 0u);
    KorvelStreamingDeviceSelection unknown{0, {99, 99}};
    EXPECT_EQ(Driver(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, &unknown, 12, 0).status,
              KORVEL_STATUS_NO_DEVICE);
    KorvelStreamingDeviceSelection bad{2, {0, 0}};
    EXPECT_EQ(Driver(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, &bad, 12, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);

    KorvelStreamingDeviceSelection second{0, KeyOf(1)};
    ASSERT_EQ(Driver(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, &second, 12, 0).status, 0u);
    // One device streams: {0, 0, 0} names none and is refused; the choice stays.
    EXPECT_EQ(Driver(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, &none, 12, 0).status,
              KORVEL_STATUS_NO_DEVICE);
    auto list = DriverGet<KorvelDeviceList>(IOCTL_KORVEL_GET_DEVICE_LIST);
    EXPECT_EQ(list.devices[0].flags & KORVEL_DEVICE_FLAG_STREAMING, 0u);
    EXPECT_NE(list.devices[1].flags & KORVEL_DEVICE_FLAG_STREAMING, 0u);

    // Unplugging the streaming device takes the stream down and selects the other.
    ASSERT_EQ(Command(2), 0u);
    EXPECT_EQ(Control("unplug 1").rfind("OK", 0), 0u);
    EXPECT_EQ(State(), 1u);
    list = DriverGet<KorvelDeviceList>(IOCTL_KORVEL_GET_DEVICE_LIST);
    EXPECT_NE(list.devices[0].flags & KORVEL_DEVICE_FLAG_STREAMING, 0u);
}

TEST_F(SimModelFixture, ChannelInfoResolvesKeysOfPluggedDevicesOnly)
{
    ASSERT_EQ(Control("plug spdif=0 analog-in=4 name=Box").rfind("OK", 0), 0u);
    auto inputs = DriverGet<KorvelChannelList>(IOCTL_KORVEL_GET_INPUT_CHANNELS);
    ASSERT_EQ(inputs.count, 4u);
    auto outputs = DriverGet<KorvelChannelList>(IOCTL_KORVEL_GET_OUTPUT_CHANNELS);
    ASSERT_EQ(outputs.count, 18u);

    Answer info =
        Driver(IOCTL_KORVEL_GET_CHANNEL_INFO, &outputs.keys[17], 8, sizeof(KorvelChannelInfo));
    ASSERT_EQ(info.status, 0u);
    auto record = As<KorvelChannelInfo>(info);
    EXPECT_TRUE(record.deviceKey == KeyOf(0));
    EXPECT_EQ(std::wstring(record.name), L"SPDIF Out 2");

    KorvelChannelKey stale = inputs.keys[3];
    ASSERT_EQ(Control("unplug 0").rfind("OK", 0), 0u);
    ASSERT_EQ(model.AddDevices(1), 0u);
    EXPECT_EQ(Driver(IOCTL_KORVEL_GET_CHANNEL_INFO, &stale, 8, 108).status,
              KORVEL_STATUS_OBJECT_NOT_FOUND);
    KorvelChannelKey outOfRange{KeyOf(0).word0, 1u << 16 | 40};
    EXPECT_EQ(Driver(IOCTL_KORVEL_GET_CHANNEL_INFO, &outOfRange, 8, 108).status,
              KORVEL_STATUS_OBJECT_NOT_FOUND);
}

TEST_F(SimModelFixture, BufferSizesScaleWithTheRateAndKeepTheThirdWord)
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    KorvelBufferSizesSetting setting{0, 3, 0x99};
    ASSERT_EQ(Driver(IOCTL_KORVEL_SET_BUFFER_SIZES, &setting, 12, 0).status, 0u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_SETTINGS_CHANGED), 1u);
    auto sizes = DriverGet<KorvelBufferSizes>(IOCTL_KORVEL_GET_BUFFER_SIZES);
    EXPECT_EQ(sizes.streamingSizeClass, 0u);
    EXPECT_EQ(sizes.asioSizeClass, 3u);
    EXPECT_EQ(sizes.thirdWord, 0x99u);
    EXPECT_EQ(sizes.streamingLatencyUs, 1000u);
    EXPECT_EQ(sizes.asioBufferSize, 512u);
    EXPECT_EQ(sizes.asioLatencyUs, 10666u);
    ASSERT_EQ(SetU32(IOCTL_KORVEL_SET_SAMPLE_RATE, 96000), 0u);
    sizes = DriverGet<KorvelBufferSizes>(IOCTL_KORVEL_GET_BUFFER_SIZES);
    EXPECT_EQ(sizes.asioBufferSize, 1024u);
    EXPECT_EQ(sizes.asioLatencyUs, 10666u);

    for (KorvelBufferSizesSetting wrong :
         {KorvelBufferSizesSetting{6, 0, 0}, KorvelBufferSizesSetting{0, 4, 0}}) {
        EXPECT_EQ(Driver(IOCTL_KORVEL_SET_BUFFER_SIZES, &wrong, 12, 0).status,
                  KORVEL_STATUS_INVALID_BUFFER_SIZE);
    }
    EXPECT_EQ(DriverGet<KorvelBufferSizes>(IOCTL_KORVEL_GET_BUFFER_SIZES).thirdWord, 0x99u);
}

TEST_F(SimModelFixture, ActivityCountsAskForStreamingAndPolicyIsKept)
{
    EXPECT_EQ(Control("activity 3 5"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_STREAM_START_NEEDED), 0u)
        << "count 3 does not need streaming";
    EXPECT_EQ(Control("activity 2 1"), "OK");
    EXPECT_EQ(Control("activity 5 1"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_STREAM_START_NEEDED), 1u);
    EXPECT_EQ(Control("activity 2 0"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_STREAM_STOP_POSSIBLE), 0u);
    EXPECT_EQ(Control("activity 5 0"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_STREAM_STOP_POSSIBLE), 1u);
    auto state = DriverGet<KorvelStreamingState>(IOCTL_KORVEL_GET_STREAMING_STATE);
    EXPECT_EQ(state.activityCount3, 5u);

    EXPECT_EQ(SetU32(IOCTL_KORVEL_SET_POLICY, 0x80000001), 0u);
    EXPECT_EQ(DriverGet<uint32_t>(IOCTL_KORVEL_GET_POLICY), 0x80000001u);
    EXPECT_EQ(Control("counters 1 2 3 4 5"), "OK");
    auto counters = DriverGet<KorvelStatusCounters>(IOCTL_KORVEL_GET_STATUS_COUNTERS);
    EXPECT_EQ(counters.streamingErrors, 1u);
    EXPECT_EQ(counters.wdmMidiErrors, 5u);
}
