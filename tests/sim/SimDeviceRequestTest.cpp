// Device-handle requests of the device model, and the length checks of every
// code the model answers.
#include "KorvelEchoRecord.h"
#include "KorvelMixerRecords.h"
#include "KorvelServiceRecords.h"
#include "KorvelWdmRecords.h"
#include "SimMixer.h"
#include "SimModelFixture.h"

namespace {

struct FixedCode
{
    uint32_t code;
    bool device;
    uint32_t in;
    uint32_t out;
};

const FixedCode FIXED_CODES[] = {
    {IOCTL_KORVEL_GET_DEVICE_LIST, false, 0, 1124},
    {IOCTL_KORVEL_GET_INPUT_CHANNELS, false, 0, 772},
    {IOCTL_KORVEL_GET_OUTPUT_CHANNELS, false, 0, 772},
    {IOCTL_KORVEL_GET_CHANNEL_INFO, false, 8, 108},
    {IOCTL_KORVEL_GET_SAMPLE_RATES, false, 0, 56},
    {IOCTL_KORVEL_GET_BUFFER_SIZES, false, 0, 32},
    {IOCTL_KORVEL_GET_STREAMING_STATE, false, 0, 36},
    {IOCTL_KORVEL_GET_STATUS_COUNTERS, false, 0, 20},
    {IOCTL_KORVEL_STREAMING_COMMAND, false, 8, 0},
    {IOCTL_KORVEL_SET_SAMPLE_RATE, false, 4, 0},
    {IOCTL_KORVEL_SET_BUFFER_SIZES, false, 12, 0},
    {IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE, false, 4, 0},
    {IOCTL_KORVEL_SET_POLICY, false, 4, 0},
    {IOCTL_KORVEL_GET_POLICY, false, 0, 4},
    {IOCTL_KORVEL_SELECT_STREAMING_DEVICE, false, 12, 0},
    {IOCTL_KORVEL_GET_AUDIO_FUNCTIONS, true, 0, 3624},
    {IOCTL_KORVEL_SET_DEVICE_SETUP, true, 136, 0},
    {IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES, true, 6152, 0},
    {IOCTL_KORVEL_SET_WDM_PAIR_NAMES, true, 9480, 0},
    {IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, true, 16, 16},
    {IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, true, 12, 0},
    {IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH, true, 12, 12},
    {IOCTL_KORVEL_GET_MIXER_PINS, true, 4, 0},
    {IOCTL_KORVEL_SET_VOLUME_BYPASS, true, 1, 0},
    {IOCTL_KORVEL_GET_VOLUME_BYPASS, true, 0, 1},
    {IOCTL_KORVEL_SET_BYPASS_MUTE, true, 1, 0},
    {IOCTL_KORVEL_GET_SAVED_VOLUME, true, 136, 136},
    {IOCTL_KORVEL_SAVE_VOLUME, true, 136, 0},
    {IOCTL_KORVEL_SET_ECHO, true, 520, 0},
    {IOCTL_KORVEL_GET_ECHO, true, 520, 520},
    {IOCTL_KORVEL_SET_ENDPOINT_PARAMETER, true, 8, 0},
    {IOCTL_KORVEL_SET_ENDPOINT_STATE, true, 8, 0},
};

struct ArrayCode
{
    uint32_t code;
    uint32_t element;
    uint32_t maxCount;
};

const ArrayCode ARRAY_CODES[] = {
    {IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS, 8, 64}, {IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS, 8, 64},
    {IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, 8, 64}, {IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, 8, 64},
    {IOCTL_KORVEL_GET_MIXER_WEIGHTS, 12, 2048},   {IOCTL_KORVEL_SET_MIXER_WEIGHTS, 12, 2048},
};

KorvelMixerGain GainEntry(uint8_t type, uint8_t channel, int16_t gain = 0, uint8_t flags = 0)
{
    return KorvelMixerGain{{type, channel, {0, 0}}, 0, flags, gain};
}

} // namespace

TEST_F(SimModelFixture, EveryFixedCodeRefusesWrongLengths)
{
    ASSERT_EQ(Control("plug echo=1").rfind("OK", 0), 0u);
    std::vector<uint8_t> input(16384, 0);
    for (const FixedCode& c : FIXED_CODES) {
        auto call = [&](uint32_t in, uint32_t out) {
            return Call(c.device, KeyOf(0), c.code, input.data(), in, out);
        };
        EXPECT_EQ(call(c.in + 1, c.out).status, KORVEL_STATUS_INVALID_INBUFFER_SIZE)
            << std::hex << c.code;
        if (c.in > 0) {
            EXPECT_EQ(call(c.in - 1, c.out).status, KORVEL_STATUS_INVALID_INBUFFER_SIZE)
                << std::hex << c.code;
        }
        if (c.out > 0) {
            Answer short_ = call(c.in, c.out - 1);
            EXPECT_EQ(short_.status, KORVEL_STATUS_INVALID_OUTBUFFER_SIZE) << std::hex << c.code;
            EXPECT_EQ(short_.returned, 0u);
        }
    }
    // A mixer-pin answer needs room for every pin of the set.
    uint32_t selector = 0;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_MIXER_PINS, &selector, 4, 21 * 4).status,
              KORVEL_STATUS_INVALID_OUTBUFFER_SIZE);
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_MIXER_PINS, &selector, 4, 26 * 4).returned, 22u * 4);
}

TEST_F(SimModelFixture, EveryArrayCodeRefusesMalformedArrays)
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    std::vector<uint8_t> input(64 * 1024, 0);
    for (const ArrayCode& c : ARRAY_CODES) {
        auto status = [&](uint32_t in, uint32_t out) {
            return Device(0, c.code, input.data(), in, out).status;
        };
        EXPECT_EQ(status(0, 0), KORVEL_STATUS_INVALID_INBUFFER_SIZE) << std::hex << c.code;
        EXPECT_EQ(status(c.element + 1, 64), KORVEL_STATUS_INVALID_INBUFFER_SIZE)
            << std::hex << c.code;
        EXPECT_EQ(status(c.element * (c.maxCount + 1), c.element * (c.maxCount + 1)),
                  KORVEL_STATUS_INVALID_INBUFFER_SIZE)
            << std::hex << c.code;
        EXPECT_EQ(status(c.element * 2, c.element * 2 - 1), KORVEL_STATUS_INVALID_OUTBUFFER_SIZE)
            << std::hex << c.code;
    }
}

TEST_F(SimModelFixture, DriverAndDeviceCodesStayOnTheirHandles)
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    EXPECT_EQ(Driver(IOCTL_KORVEL_GET_VOLUME_BYPASS, nullptr, 0, 1).status,
              KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_DEVICE_LIST, nullptr, 0, 1124).status,
              KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(Driver(IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG, nullptr, 0, 60).status,
              KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(Driver(0x80880000 | 0x7FF << 2, nullptr, 0, 0).status, KORVEL_STATUS_INVALID_IOCTL);
}

TEST_F(SimModelFixture, MixerSetsAreAllOrNothingAndNotifyTheDevice)
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    notifier.raised.clear();
    KorvelMixerGain gains[2] = {GainEntry(0, 0, -600, 0xFF), GainEntry(0, 16)};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, gains, 16, 16).status,
              KORVEL_STATUS_OBJECT_NOT_FOUND);
    EXPECT_EQ(model.Devices().At(0)->Mixer().GainOf(gains[0].pin).gain, 0) << "nothing applied";
    EXPECT_TRUE(notifier.raised.empty());

    gains[1] = GainEntry(1, 1, 9000, 1);
    Answer set = Device(0, IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, gains, 16, 16);
    ASSERT_EQ(set.status, 0u);
    EXPECT_EQ(set.returned, 16u);
    EXPECT_EQ(As<KorvelMixerGain>(set).flags, 1) << "only the mute bit is kept";
    ASSERT_EQ(notifier.Count(KORVEL_NOTIFY_MIXER_GAINS_CHANGED), 1u);
    KorvelDeviceKey key = KeyOf(0);
    EXPECT_EQ(notifier.raised[0].payload,
              std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&key),
                                   reinterpret_cast<uint8_t*>(&key) + 8));

    KorvelMixerGain query[2] = {GainEntry(1, 1), GainEntry(0, 0)};
    Answer get = Device(0, IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, query, 16, 16);
    ASSERT_EQ(get.status, 0u);
    KorvelMixerGain got[2];
    std::memcpy(got, get.out.data(), 16);
    EXPECT_EQ(got[0].gain, 9000);
    EXPECT_EQ(got[0].flags, 1);
    EXPECT_EQ(got[1].gain, -600);

    KorvelMixerWeight weights[2] = {{{5, 0, {}}, {2, 0, {}}, -300, 1, 0},
                                    {{5, 1, {}}, {9, 0, {}}, 0, 1, 0}};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_WEIGHTS, weights, 24, 24).status,
              KORVEL_STATUS_OBJECT_NOT_FOUND);
    weights[1].input.type = 2;
    weights[1].input.channel = 1;
    ASSERT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_WEIGHTS, weights, 24, 24).status, 0u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED), 1u);
    auto weight = model.Devices().At(0)->Mixer().WeightOf(weights[0].output, weights[0].input);
    EXPECT_EQ(weight.weight, -300);
    EXPECT_EQ(weight.flags, 1);
}

TEST_F(SimModelFixture, PinSetsFollowTheSpdifInputAndLevelsFollowTheRouting)
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    uint32_t selector = 1;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_MIXER_PINS, &selector, 4, 18 * 4).returned, 18u * 4);
    EXPECT_EQ(Control("set 0 spdif-present 0"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_MIXER_PINS_CHANGED), 1u);
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_MIXER_PINS, &selector, 4, 18 * 4).returned, 16u * 4);
    selector = 3;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_MIXER_PINS, &selector, 4, 104).status,
              KORVEL_STATUS_INVALID_PARAMETER);

    // Playback channel Out 1 reaches Analog Out 1 by default at 0 dB.
    EXPECT_EQ(Control("set 0 input-level 2 0 -600"), "OK");
    EXPECT_EQ(Control("set 0 gain 0 0 -400"), "OK");
    KorvelMixerLevel levels[2] = {{{0, 0, {}}, 0, 0}, {{0, 1, {}}, 0, 0}};
    Answer out = Device(0, IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS, levels, 16, 16);
    ASSERT_EQ(out.status, 0u);
    std::memcpy(levels, out.out.data(), 16);
    EXPECT_EQ(levels[0].level, -1000);
    EXPECT_EQ(levels[1].level, SimMixer::LEVEL_FLOOR);
    KorvelMixerLevel input{{2, 0, {}}, 0, 0};
    EXPECT_EQ(
        As<KorvelMixerLevel>(Device(0, IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS, &input, 8, 8)).level,
        -600);
    EXPECT_EQ(Control("set 0 gain 0 0 -400 1"), "OK");
    EXPECT_EQ(
        As<KorvelMixerLevel>(Device(0, IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS, levels, 8, 8)).level,
        SimMixer::LEVEL_FLOOR);
}

TEST_F(SimModelFixture, SavedVolumesSurviveAReplugOfTheSameSerial)
{
    ASSERT_EQ(Control("plug serial=QVA").rfind("OK", 0), 0u);
    ASSERT_EQ(Control("plug serial=QVB").rfind("OK", 0), 0u);
    KorvelSavedVolume record{};
    record.kind = 2;
    record.pairIndex = 3;
    record.gains[0] = -393216;
    record.mutes[1] = 1;
    ASSERT_EQ(Device(0, IOCTL_KORVEL_SAVE_VOLUME, &record, 136, 0).status, 0u);

    KorvelSavedVolume query{};
    query.kind = 2;
    query.pairIndex = 3;
    EXPECT_EQ(Device(1, IOCTL_KORVEL_GET_SAVED_VOLUME, &query, 136, 136).status,
              KORVEL_STATUS_OBJECT_NOT_FOUND);
    ASSERT_EQ(Control("unplug QVA").rfind("OK", 0), 0u);
    ASSERT_EQ(Control("plug serial=QVA").rfind("OK", 0), 0u);
    Answer got = Device(1, IOCTL_KORVEL_GET_SAVED_VOLUME, &query, 136, 136);
    ASSERT_EQ(got.status, 0u);
    auto saved = As<KorvelSavedVolume>(got);
    EXPECT_EQ(saved.gains[0], -393216);
    EXPECT_EQ(saved.mutes[1], 1u);
    EXPECT_TRUE(DumpHas("saved.count=1"));

    query.kind = 1;
    EXPECT_EQ(Device(1, IOCTL_KORVEL_GET_SAVED_VOLUME, &query, 136, 136).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    record.pairIndex = 32;
    EXPECT_EQ(Device(1, IOCTL_KORVEL_SAVE_VOLUME, &record, 136, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
}

TEST_F(SimModelFixture, SpdifInputAndPassThrough)
{
    ASSERT_EQ(Control("plug spdif=0").rfind("OK", 0), 0u);
    KorvelSpdifInputStatus query{};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, &query, 16, 16).status,
              KORVEL_STATUS_OBJECT_NOT_FOUND);
    KorvelSpdifPassThrough pass{0, 0, 1};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, &pass, 12, 0).status,
              KORVEL_STATUS_OBJECT_NOT_FOUND);

    EXPECT_EQ(Control("set 0 spdif-present 1"), "OK");
    EXPECT_EQ(Control("set 0 spdif-lock 3"), "OK");
    EXPECT_EQ(Control("set 0 spdif-format 1"), "OK");
    EXPECT_EQ(Control("set 0 spdif-rate 44100"), "OK");
    EXPECT_GE(notifier.Count(KORVEL_NOTIFY_DEVICE_STATUS_CHANGED), 3u);
    auto status =
        As<KorvelSpdifInputStatus>(Device(0, IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, &query, 16, 16));
    EXPECT_EQ(status.lockState, 3u);
    EXPECT_EQ(status.format, 1u);
    EXPECT_EQ(status.sampleRate, 44100u);
    query.index = 1;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, &query, 16, 16).status,
              KORVEL_STATUS_INVALID_PARAMETER);

    ASSERT_EQ(Device(0, IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, &pass, 12, 0).status, 0u);
    KorvelSpdifPassThrough read{0, 0, 0};
    EXPECT_EQ(
        As<KorvelSpdifPassThrough>(Device(0, IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH, &read, 12, 12))
            .enabled,
        1u);

    uint8_t bypass = 2;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_VOLUME_BYPASS, &bypass, 1, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    bypass = 1;
    ASSERT_EQ(Device(0, IOCTL_KORVEL_SET_VOLUME_BYPASS, &bypass, 1, 0).status, 0u);
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_VOLUME_BYPASS, nullptr, 0, 1).out[0], 1);
}

TEST_F(SimModelFixture, EchoBlockOnlyOnEchoDevices)
{
    ASSERT_EQ(Control("plug").rfind("OK", 0), 0u);
    ASSERT_EQ(Control("plug echo=1").rfind("OK", 0), 0u);
    KorvelEchoRecord record{};
    record.selector = KORVEL_ECHO_MAX_DELAY;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_ECHO, &record, 520, 520).status,
              KORVEL_STATUS_NOT_SUPPORTED);
    EXPECT_EQ(As<KorvelEchoRecord>(Device(1, IOCTL_KORVEL_GET_ECHO, &record, 520, 520)).value,
              500u);
    record.selector = KORVEL_ECHO_OUTPUT_CHANNELS;
    EXPECT_EQ(As<KorvelEchoRecord>(Device(1, IOCTL_KORVEL_GET_ECHO, &record, 520, 520)).value, 18u);

    record = KorvelEchoRecord{KORVEL_ECHO_DELAY, 2, {{2, 120}, {3, 120}}};
    ASSERT_EQ(Device(1, IOCTL_KORVEL_SET_ECHO, &record, 520, 0).status, 0u);
    KorvelEchoRecord query{KORVEL_ECHO_DELAY, 1, {{3, 0}}};
    EXPECT_EQ(
        As<KorvelEchoRecord>(Device(1, IOCTL_KORVEL_GET_ECHO, &query, 520, 520)).pairs[0].value,
        120u);

    for (KorvelEchoRecord wrong : {KorvelEchoRecord{KORVEL_ECHO_DELAY, 1, {{18, 1}}},
                                   KorvelEchoRecord{KORVEL_ECHO_DELAY, 1, {{0, 501}}},
                                   KorvelEchoRecord{KORVEL_ECHO_AMPLIFICATION, 1, {{0, 1001}}},
                                   KorvelEchoRecord{KORVEL_ECHO_DELAY, 65, {}},
                                   KorvelEchoRecord{KORVEL_ECHO_MAX_DELAY, 7, {}}}) {
        EXPECT_EQ(Device(1, IOCTL_KORVEL_SET_ECHO, &wrong, 520, 0).status,
                  KORVEL_STATUS_INVALID_PARAMETER);
    }
    EXPECT_EQ(model.Devices().At(1)->Mixer().Pins(0).size(), 22u);
    EXPECT_TRUE(DumpHas("dev.1.echo.sets=1"));
}

// A device may report any echo channel count (a broken one too); values are
// kept only for the channels one block can name.
TEST_F(SimModelFixture, EchoChannelCountAsConfiguredWithBoundedStorage)
{
    ASSERT_EQ(Control("plug echo=1 echo-channels=4294967295").rfind("OK", 0), 0u);
    ASSERT_EQ(Control("plug echo=1 echo-channels=1").rfind("OK", 0), 0u);
    EXPECT_EQ(Control("plug echo=1 echo-channels=-1").rfind("ERR", 0), 0u);
    KorvelEchoRecord record{};
    record.selector = KORVEL_ECHO_OUTPUT_CHANNELS;
    EXPECT_EQ(As<KorvelEchoRecord>(Device(0, IOCTL_KORVEL_GET_ECHO, &record, 520, 520)).value,
              0xFFFFFFFFu);
    EXPECT_EQ(As<KorvelEchoRecord>(Device(1, IOCTL_KORVEL_GET_ECHO, &record, 520, 520)).value, 1u);

    KorvelEchoRecord last{KORVEL_ECHO_DELAY, 1, {{127, 7}}};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_ECHO, &last, 520, 0).status, 0u);
    KorvelEchoRecord beyond{KORVEL_ECHO_DELAY, 1, {{128, 7}}};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_ECHO, &beyond, 520, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    KorvelEchoRecord second{KORVEL_ECHO_DELAY, 1, {{1, 7}}};
    EXPECT_EQ(Device(1, IOCTL_KORVEL_SET_ECHO, &second, 520, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
}

TEST_F(SimModelFixture, WhatTheServiceSentIsKeptForInspection)
{
    ASSERT_EQ(Control("plug kind2=1").rfind("OK", 0), 0u);
    auto functions =
        As<KorvelAudioFunctions>(Device(0, IOCTL_KORVEL_GET_AUDIO_FUNCTIONS, nullptr, 0, 3624));
    bool kind2 = false;
    for (uint32_t e = 0; e < functions.count; ++e) {
        for (uint32_t i = 0; i < KORVEL_AUDIO_FUNCTION_ITEMS; ++i) {
            kind2 = kind2 || functions.entries[e].items1[i].kind == 2 ||
                    functions.entries[e].items2[i].kind == 2;
        }
    }
    EXPECT_TRUE(kind2);

    KorvelDeviceSetup setup = KorvelStandardDeviceSetup();
    ASSERT_EQ(Device(0, IOCTL_KORVEL_SET_DEVICE_SETUP, &setup, 136, 0).status, 0u);
    EXPECT_TRUE(DumpHas("dev.0.setup=02000000280000000000000028000000" + std::string(240, '0')));
    EXPECT_TRUE(DumpHas("dev.0.setup.count=1"));

    auto pairs = std::make_unique<KorvelWdmPairTable>();
    pairs->renderCount = 1;
    pairs->render[0].type = KORVEL_WDM_TYPE_ANALOG;
    pairs->render[0].pairCount = 1;
    pairs->render[0].analogWord44 = 3;
    pairs->render[0].analogWord140 = 0xFF800000;
    std::wcscpy(pairs->render[0].name, L"quillo Out 1/2");
    pairs->captureCount = 1;
    pairs->capture[0].type = KORVEL_WDM_TYPE_MIDI;
    pairs->capture[0].connection = 2;
    pairs->capture[0].midiDirection = -1;
    std::wcscpy(pairs->capture[0].name, L"quillo Midi In");
    ASSERT_EQ(Device(0, IOCTL_KORVEL_SET_WDM_PAIR_NAMES, pairs.get(), 9480, 0).status, 0u);
    EXPECT_TRUE(DumpHas("dev.0.wdm.pairs.render.0=type=1 pairs=1 pair=0 connection=0 w44=3 midi=0 "
                        "index=0 w140=0xff800000 name=quillo Out 1/2"));
    EXPECT_TRUE(
        DumpHas("dev.0.wdm.pairs.capture.0=type=20 pairs=0 pair=0 connection=2 w44=0 midi=-1 "
                "index=0 w140=0x00000000 name=quillo Midi In"));

    // Counts beyond 32 and unterminated names are refused and keep the last table.
    pairs->renderCount = 33;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_WDM_PAIR_NAMES, pairs.get(), 9480, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    auto channels = std::make_unique<KorvelWdmChannelTable>();
    channels->renderCount = 1;
    std::fill(std::begin(channels->render[0].name), std::end(channels->render[0].name), L'x');
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES, channels.get(), 6152, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(DumpHas("dev.0.wdm.pairs.received=1"));
    EXPECT_TRUE(DumpHas("dev.0.wdm.channels.received=0"));

    KorvelEndpointControl endpoint{2, 1};
    ASSERT_EQ(Device(0, IOCTL_KORVEL_SET_ENDPOINT_STATE, &endpoint, 8, 0).status, 0u);
    endpoint = {2, 8};
    ASSERT_EQ(Device(0, IOCTL_KORVEL_SET_ENDPOINT_PARAMETER, &endpoint, 8, 0).status, 0u);
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_ENDPOINT_STATE, &endpoint, 8, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    endpoint = {4, 0};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_ENDPOINT_PARAMETER, &endpoint, 8, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(DumpHas("dev.0.endpoint.calls=2"));
    EXPECT_TRUE(DumpHas("dev.0.endpoint.log.0=state selector=2 value=1"));
    EXPECT_TRUE(DumpHas("dev.0.endpoint.log.1=parameter selector=2 value=8"));

    std::string hex = Control("dump-record 0 wdm-pairs");
    EXPECT_EQ(hex.size(), 3u + 9480 * 2);
    EXPECT_EQ(Control("dump-record 0 wdm-channels"),
              "ERR no record 'wdm-channels' kept for this device");
}

// Values a device does not take are refused, not stored: gains and weights
// beyond the mixer's range, reserved bytes that are not zero, a
// pass-through that is neither 0 nor 1, filled-in fields of a query.
TEST_F(SimModelFixture, OutOfRangeValuesAndReservedBytesAreRefused)
{
    ASSERT_EQ(Control("plug").rfind("OK", 0), 0u);
    KorvelMixerGain loud = GainEntry(KORVEL_MIXER_PIN_ANALOG, 0, 32000);
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, &loud, 8, 8).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    KorvelMixerGain read = GainEntry(KORVEL_MIXER_PIN_ANALOG, 0);
    EXPECT_EQ(As<KorvelMixerGain>(Device(0, IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, &read, 8, 8)).gain,
              0) << "nothing of the refused set was stored";
    KorvelMixerGain edge = GainEntry(KORVEL_MIXER_PIN_ANALOG, 0, SimMixer::VALUE_MIN);
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, &edge, 8, 8).status, 0u);
    KorvelMixerGain dirty = GainEntry(KORVEL_MIXER_PIN_ANALOG, 0);
    dirty.pin.reserved[1] = 1;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, &dirty, 8, 8).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    dirty = GainEntry(KORVEL_MIXER_PIN_ANALOG, 0);
    dirty.reserved = 4;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, &dirty, 8, 8).status,
              KORVEL_STATUS_INVALID_PARAMETER);

    KorvelMixerWeight weight{{KORVEL_MIXER_PIN_ANALOG, 0, {0, 0}},
                             {KORVEL_MIXER_PIN_OUT, 0, {0, 0}},
                             -20000,
                             KORVEL_MIXER_WEIGHT_FLAG_CONNECTED,
                             0};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_WEIGHTS, &weight, 12, 12).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    weight.weight = -600;
    weight.input.reserved[0] = 9;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_WEIGHTS, &weight, 12, 12).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    weight.input.reserved[0] = 0;
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_MIXER_WEIGHTS, &weight, 12, 12).status, 0u);
    KorvelMixerLevel level{{KORVEL_MIXER_PIN_ANALOG, 0, {0, 7}}, 0, 0};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS, &level, 8, 8).status,
              KORVEL_STATUS_INVALID_PARAMETER);

    KorvelSpdifPassThrough pass{0, 0, 7};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, &pass, 12, 0).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(DumpHas("dev.0.passthrough=0"));
    KorvelSpdifPassThrough query{0, 0, 1};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH, &query, 12, 12).status,
              KORVEL_STATUS_INVALID_PARAMETER);
    KorvelSpdifInputStatus status{0, 0, 0, 44100};
    EXPECT_EQ(Device(0, IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, &status, 16, 16).status,
              KORVEL_STATUS_INVALID_PARAMETER);
}
