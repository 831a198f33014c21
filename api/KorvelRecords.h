#pragma once
// Records of the kernel driver's control interface that more than one
// deliverable uses. All fields are little-endian; text fields are
// zero-terminated UTF-16 arrays (wchar_t is 2 bytes on Windows).
#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Capacities of the fixed records.
constexpr uint32_t KORVEL_MAX_DEVICES = 8;
constexpr uint32_t KORVEL_MAX_CHANNELS = 96;
constexpr uint32_t KORVEL_MAX_SAMPLE_RATES = 12;
constexpr uint32_t KORVEL_SERIAL_NUMBER_CHARS = 20; // 19 characters and the terminator
constexpr uint32_t KORVEL_DEVICE_NAME_CHARS = 42;   // 41 characters and the terminator
constexpr uint32_t KORVEL_CHANNEL_NAME_CHARS = 42;  // 41 characters and the terminator

// ---------------------------------------------------------------------------
// Output of IOCTL_KORVEL_GET_VERSION.
constexpr uint32_t KORVEL_INTERFACE_VERSION_MAJOR = 2; // any other major fails the open
constexpr uint32_t KORVEL_BUILD_FLAG_DEBUG = 0x1;      // clear: release build

struct KorvelVersionInfo
{
    uint32_t interfaceMajor;
    uint32_t interfaceMinor;
    uint32_t driverMajor;
    uint32_t driverMinor;
    uint32_t driverBuild; // third component of the driver version
    uint32_t buildFlags;
};
static_assert(sizeof(KorvelVersionInfo) == 24);
static_assert(offsetof(KorvelVersionInfo, interfaceMajor) == 0);
static_assert(offsetof(KorvelVersionInfo, interfaceMinor) == 4);
static_assert(offsetof(KorvelVersionInfo, driverMajor) == 8);
static_assert(offsetof(KorvelVersionInfo, driverMinor) == 12);
static_assert(offsetof(KorvelVersionInfo, driverBuild) == 16);
static_assert(offsetof(KorvelVersionInfo, buildFlags) == 20);

// ---------------------------------------------------------------------------
// Names one device; assigned by the kernel driver and never interpreted, only
// compared word by word. Input of IOCTL_KORVEL_OPEN_DEVICE.
struct KorvelDeviceKey
{
    uint32_t word0;
    uint32_t word1;

    friend bool operator==(const KorvelDeviceKey&, const KorvelDeviceKey&) = default;
};
static_assert(sizeof(KorvelDeviceKey) == 8);
static_assert(offsetof(KorvelDeviceKey, word0) == 0);
static_assert(offsetof(KorvelDeviceKey, word1) == 4);

// ---------------------------------------------------------------------------
// One entry of the device list.
constexpr uint32_t KORVEL_DEVICE_FLAG_HIGH_SPEED = 0x00000001; // clear: USB 1.1 port, cannot stream
constexpr uint32_t KORVEL_DEVICE_FLAG_ECHO = 0x00000100;       // the device has the echo effect
constexpr uint32_t KORVEL_DEVICE_FLAG_STREAMING = 0x00010000;  // selected for streaming

struct KorvelDeviceInfo
{
    KorvelDeviceKey key;
    uint16_t vendorId;
    uint16_t productId;
    wchar_t serialNumber[KORVEL_SERIAL_NUMBER_CHARS];
    wchar_t deviceName[KORVEL_DEVICE_NAME_CHARS];
    uint32_t flags;
};
static_assert(sizeof(wchar_t) == 2, "text fields are UTF-16");
static_assert(sizeof(KorvelDeviceInfo) == 140);
static_assert(offsetof(KorvelDeviceInfo, key) == 0);
static_assert(offsetof(KorvelDeviceInfo, vendorId) == 8);
static_assert(offsetof(KorvelDeviceInfo, productId) == 10);
static_assert(offsetof(KorvelDeviceInfo, serialNumber) == 12);
static_assert(sizeof(KorvelDeviceInfo::serialNumber) == 40);
static_assert(offsetof(KorvelDeviceInfo, deviceName) == 52);
static_assert(sizeof(KorvelDeviceInfo::deviceName) == 84);
static_assert(offsetof(KorvelDeviceInfo, flags) == 136);

// Output of IOCTL_KORVEL_GET_DEVICE_LIST; only the first count entries are meaningful.
struct KorvelDeviceList
{
    uint32_t count; // 0 to KORVEL_MAX_DEVICES
    KorvelDeviceInfo devices[KORVEL_MAX_DEVICES];
};
static_assert(sizeof(KorvelDeviceList) == 1124);
static_assert(offsetof(KorvelDeviceList, count) == 0);
static_assert(offsetof(KorvelDeviceList, devices) == 4);

// ---------------------------------------------------------------------------
// Input of IOCTL_KORVEL_SET_NOTIFICATION_EVENTS: event handles of the calling
// process zero-extended to 64 bits; zero registers no event, all zeros withdraw.
struct KorvelEventRegistration
{
    uint64_t messageEvent;
    uint64_t notificationEvent;
};
static_assert(sizeof(KorvelEventRegistration) == 16);
static_assert(offsetof(KorvelEventRegistration, messageEvent) == 0);
static_assert(offsetof(KorvelEventRegistration, notificationEvent) == 8);

// ---------------------------------------------------------------------------
// Client types (input of IOCTL_KORVEL_SET_CLIENT_TYPE, u32).
constexpr uint32_t KORVEL_CLIENT_SERVER = 0;     // the device control service; only one
constexpr uint32_t KORVEL_CLIENT_ASIO = 1;       // the ASIO driver
constexpr uint32_t KORVEL_CLIENT_PANEL = 2;      // the control panel's main connection
constexpr uint32_t KORVEL_CLIENT_PANEL_VIEW = 3; // panel while its main window is shown
constexpr uint32_t KORVEL_CLIENT_MIXER_VIEW = 4; // each open mixer window

// ---------------------------------------------------------------------------
// Output of IOCTL_KORVEL_GET_STREAMING_STATE.
constexpr uint32_t KORVEL_STREAMING_STATE_UNDEFINED = 0;
constexpr uint32_t KORVEL_STREAMING_STATE_DOWN = 1;
constexpr uint32_t KORVEL_STREAMING_STATE_READY = 2;
constexpr uint32_t KORVEL_STREAMING_STATE_PREPARED = 3;
constexpr uint32_t KORVEL_STREAMING_STATE_RUNNING = 4;
constexpr uint32_t KORVEL_STREAMING_STATE_ERROR = 5;
constexpr uint32_t KORVEL_STREAMING_STATE_NOT_SUPPORTED = 6; // device on a USB 1.1 port

constexpr uint32_t KORVEL_STREAMING_MODE_SINGLE = 0; // one selected device streams
constexpr uint32_t KORVEL_STREAMING_MODE_ALL = 1;    // all devices stream together

constexpr uint32_t KORVEL_DSD_MIN_SAMPLE_RATE = 2822400; // rates from here on are DSD rates
constexpr uint32_t KORVEL_DSD_MAX_SAMPLE_RATE = 11289600;

struct KorvelStreamingState
{
    uint32_t state;
    uint32_t mode;
    uint32_t sampleRate; // Hz
    // Streaming is needed while counts 1, 2, 4 or 5 are non-zero. Count 2 makes
    // the service refuse changes of rate, buffer sizes, streaming device and
    // policy; count 3 of rate, buffer sizes and streaming device.
    uint32_t activityCount1;
    uint32_t activityCount2;
    uint32_t activityCount3;
    uint32_t activityCount4;
    uint32_t activityCount5;
    uint32_t reserved;
};
static_assert(sizeof(KorvelStreamingState) == 36);
static_assert(offsetof(KorvelStreamingState, state) == 0);
static_assert(offsetof(KorvelStreamingState, mode) == 4);
static_assert(offsetof(KorvelStreamingState, sampleRate) == 8);
static_assert(offsetof(KorvelStreamingState, activityCount1) == 12);
static_assert(offsetof(KorvelStreamingState, activityCount2) == 16);
static_assert(offsetof(KorvelStreamingState, activityCount3) == 20);
static_assert(offsetof(KorvelStreamingState, activityCount4) == 24);
static_assert(offsetof(KorvelStreamingState, activityCount5) == 28);
static_assert(offsetof(KorvelStreamingState, reserved) == 32);

// ---------------------------------------------------------------------------
// Policy word (IOCTL_KORVEL_GET_POLICY / SET_POLICY, KORVEL_MSG_SET_POLICY).
constexpr uint32_t KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE = 0x1;

// ---------------------------------------------------------------------------
// Output of IOCTL_KORVEL_GET_SAMPLE_RATES.
struct KorvelSampleRates
{
    uint32_t currentRate; // Hz
    uint32_t count;       // 0 to KORVEL_MAX_SAMPLE_RATES
    uint32_t rates[KORVEL_MAX_SAMPLE_RATES];
};
static_assert(sizeof(KorvelSampleRates) == 56);
static_assert(offsetof(KorvelSampleRates, currentRate) == 0);
static_assert(offsetof(KorvelSampleRates, count) == 4);
static_assert(offsetof(KorvelSampleRates, rates) == 8);

// ---------------------------------------------------------------------------
// Output of IOCTL_KORVEL_GET_BUFFER_SIZES.
// Streaming buffer size classes: "Minimum", "ExtraSmall", "Small", "Large", "ExtraLarge", "Safe".
constexpr uint32_t KORVEL_STREAMING_BUFFER_CLASS_COUNT = 6;
// ASIO buffer size classes: "Minimum", "Small", "Large", "Maximum".
constexpr uint32_t KORVEL_ASIO_BUFFER_CLASS_COUNT = 4;

struct KorvelBufferSizes
{
    uint32_t streamingSizeClass;
    uint32_t asioSizeClass;
    uint32_t thirdWord; // not interpreted; sent back unchanged in KORVEL_MSG_SET_BUFFER_SIZES
    uint32_t streamingLatencyUs;
    uint32_t asioLatencyUs;
    uint32_t asioBufferSize; // samples
    uint32_t reserved[2];
};
static_assert(sizeof(KorvelBufferSizes) == 32);
static_assert(offsetof(KorvelBufferSizes, streamingSizeClass) == 0);
static_assert(offsetof(KorvelBufferSizes, asioSizeClass) == 4);
static_assert(offsetof(KorvelBufferSizes, thirdWord) == 8);
static_assert(offsetof(KorvelBufferSizes, streamingLatencyUs) == 12);
static_assert(offsetof(KorvelBufferSizes, asioLatencyUs) == 16);
static_assert(offsetof(KorvelBufferSizes, asioBufferSize) == 20);
static_assert(offsetof(KorvelBufferSizes, reserved) == 24);

// ---------------------------------------------------------------------------
// Payload of KORVEL_MSG_SET_BUFFER_SIZES, passed on unchanged as the input of
// IOCTL_KORVEL_SET_BUFFER_SIZES.
struct KorvelBufferSizesSetting
{
    uint32_t streamingSizeClass;
    uint32_t asioSizeClass;
    uint32_t thirdWord; // exactly as last read in KorvelBufferSizes
};
static_assert(sizeof(KorvelBufferSizesSetting) == 12);
static_assert(offsetof(KorvelBufferSizesSetting, streamingSizeClass) == 0);
static_assert(offsetof(KorvelBufferSizesSetting, asioSizeClass) == 4);
static_assert(offsetof(KorvelBufferSizesSetting, thirdWord) == 8);

// Payload of KORVEL_MSG_SELECT_STREAMING_DEVICE, passed on unchanged as the
// input of IOCTL_KORVEL_SELECT_STREAMING_DEVICE: {1, 0, 0} streams all devices
// together, {0, key} streams the one device.
struct KorvelStreamingDeviceSelection
{
    uint32_t allDevices;
    KorvelDeviceKey key;
};
static_assert(sizeof(KorvelStreamingDeviceSelection) == 12);
static_assert(offsetof(KorvelStreamingDeviceSelection, allDevices) == 0);
static_assert(offsetof(KorvelStreamingDeviceSelection, key) == 4);

// Payload of KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED / _STOP_POSSIBLE (read, not used).
struct KorvelClientStreamNotice
{
    uint32_t value0;
    uint32_t value1;
};
static_assert(sizeof(KorvelClientStreamNotice) == 8);

// Payload of KORVEL_NOTIFY_ENDPOINT_EVENT.
constexpr uint32_t KORVEL_ENDPOINT_EVENT_KIND_1 = 1;
constexpr uint32_t KORVEL_ENDPOINT_EVENT_KIND_2 = 2;

struct KorvelEndpointEvent
{
    KorvelDeviceKey key;
    uint32_t kind;
    uint32_t value;
};
static_assert(sizeof(KorvelEndpointEvent) == 16);
static_assert(offsetof(KorvelEndpointEvent, key) == 0);
static_assert(offsetof(KorvelEndpointEvent, kind) == 8);
static_assert(offsetof(KorvelEndpointEvent, value) == 12);

// ---------------------------------------------------------------------------
// Channels. A channel key is opaque and passed back unchanged as the input of
// IOCTL_KORVEL_GET_CHANNEL_INFO.
struct KorvelChannelKey
{
    uint32_t word0;
    uint32_t word1;
};
static_assert(sizeof(KorvelChannelKey) == 8);
static_assert(offsetof(KorvelChannelKey, word0) == 0);
static_assert(offsetof(KorvelChannelKey, word1) == 4);

// Output of IOCTL_KORVEL_GET_INPUT_CHANNELS / GET_OUTPUT_CHANNELS.
struct KorvelChannelList
{
    uint32_t count; // 0 to KORVEL_MAX_CHANNELS
    KorvelChannelKey keys[KORVEL_MAX_CHANNELS];
};
static_assert(sizeof(KorvelChannelList) == 772);
static_assert(offsetof(KorvelChannelList, count) == 0);
static_assert(offsetof(KorvelChannelList, keys) == 4);

// Output of IOCTL_KORVEL_GET_CHANNEL_INFO.
struct KorvelChannelInfo
{
    uint32_t reserved0[2];
    KorvelDeviceKey deviceKey; // device that owns the channel
    uint32_t reserved1[2];
    wchar_t name[KORVEL_CHANNEL_NAME_CHARS];
};
static_assert(sizeof(KorvelChannelInfo) == 108);
static_assert(offsetof(KorvelChannelInfo, reserved0) == 0);
static_assert(offsetof(KorvelChannelInfo, deviceKey) == 8);
static_assert(offsetof(KorvelChannelInfo, reserved1) == 16);
static_assert(offsetof(KorvelChannelInfo, name) == 24);
static_assert(sizeof(KorvelChannelInfo::name) == 84);

// ---------------------------------------------------------------------------
// Output of IOCTL_KORVEL_GET_STATUS_COUNTERS.
struct KorvelStatusCounters
{
    uint32_t streamingErrors; // "Streaming Error Count"
    uint32_t fifoErrors;      // "FIFO Error Count"
    uint32_t asioErrors;      // "ASIO Error Count"
    uint32_t wdmAudioErrors;  // "WDM Audio Error Count"
    uint32_t wdmMidiErrors;   // "WDM MIDI Error Count"
};
static_assert(sizeof(KorvelStatusCounters) == 20);
static_assert(offsetof(KorvelStatusCounters, streamingErrors) == 0);
static_assert(offsetof(KorvelStatusCounters, fifoErrors) == 4);
static_assert(offsetof(KorvelStatusCounters, asioErrors) == 8);
static_assert(offsetof(KorvelStatusCounters, wdmAudioErrors) == 12);
static_assert(offsetof(KorvelStatusCounters, wdmMidiErrors) == 16);

// ---------------------------------------------------------------------------
// Input and output of IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS.
constexpr uint32_t KORVEL_SPDIF_LOCK_NOT_STREAMING = 0;
constexpr uint32_t KORVEL_SPDIF_LOCK_NO_SIGNAL = 1;
constexpr uint32_t KORVEL_SPDIF_LOCK_SYNCHRONIZING = 2;
constexpr uint32_t KORVEL_SPDIF_LOCK_LOCKED = 3;

constexpr uint32_t KORVEL_SPDIF_FORMAT_UNKNOWN = 0;
constexpr uint32_t KORVEL_SPDIF_FORMAT_PCM = 1;
constexpr uint32_t KORVEL_SPDIF_FORMAT_NON_PCM = 2;

struct KorvelSpdifInputStatus
{
    uint32_t index;      // input: the SPDIF input asked for; the other fields zero on input
    uint32_t lockState;  // KORVEL_SPDIF_LOCK_*
    uint32_t format;     // KORVEL_SPDIF_FORMAT_*, meaningful when locked
    uint32_t sampleRate; // Hz, of a locked PCM signal
};
static_assert(sizeof(KorvelSpdifInputStatus) == 16);
static_assert(offsetof(KorvelSpdifInputStatus, index) == 0);
static_assert(offsetof(KorvelSpdifInputStatus, lockState) == 4);
static_assert(offsetof(KorvelSpdifInputStatus, format) == 8);
static_assert(offsetof(KorvelSpdifInputStatus, sampleRate) == 12);

// Input of IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, input and output of GET_SPDIF_PASS_THROUGH.
struct KorvelSpdifPassThrough
{
    uint32_t index;
    uint32_t index2;
    uint32_t enabled; // 1 or 0 when set; non-zero when read means on
};
static_assert(sizeof(KorvelSpdifPassThrough) == 12);
static_assert(offsetof(KorvelSpdifPassThrough, index) == 0);
static_assert(offsetof(KorvelSpdifPassThrough, index2) == 4);
static_assert(offsetof(KorvelSpdifPassThrough, enabled) == 8);

// ---------------------------------------------------------------------------
// Mixer (device level). Pins come in stereo pairs, left then right.
constexpr uint32_t KORVEL_MIXER_PINSET_OUTPUT = 0;          // the mixer's output pins
constexpr uint32_t KORVEL_MIXER_PINSET_HARDWARE_INPUT = 1;  // hardware input pins
constexpr uint32_t KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT = 2; // the host's playback channels

// Pin types as labelled by the control panel.
constexpr uint8_t KORVEL_MIXER_PIN_ANALOG = 0;    // "Analog In" / "Analog Out"
constexpr uint8_t KORVEL_MIXER_PIN_SPDIF = 1;     // "SPDIF In" / "SPDIF Out"
constexpr uint8_t KORVEL_MIXER_PIN_OUT = 2;       // "Out" (input pin sets only)
constexpr uint8_t KORVEL_MIXER_PIN_SPDIF_OUT = 3; // "SPDIF" (input pin sets only)
constexpr uint8_t KORVEL_MIXER_PIN_VIRTUAL = 5;   // "Virtual In"

constexpr uint32_t KORVEL_MIXER_MAX_OUTPUT_PINS = 26; // room the control panel offers
constexpr uint32_t KORVEL_MIXER_MAX_INPUT_PINS = 18;

constexpr uint8_t KORVEL_MIXER_GAIN_FLAG_MUTED = 0x01;
constexpr uint8_t KORVEL_MIXER_WEIGHT_FLAG_CONNECTED = 0x01;

constexpr int16_t KORVEL_MIXER_PANEL_GAIN_MIN = -6000; // hundredths of a dB
constexpr int16_t KORVEL_MIXER_PANEL_GAIN_MAX = 600;
constexpr int16_t KORVEL_MIXER_SERVICE_GAIN_MIN = -9000;
constexpr int16_t KORVEL_MIXER_SERVICE_GAIN_MAX = 9000;

// Element of the output of IOCTL_KORVEL_GET_MIXER_PINS.
struct KorvelMixerPin
{
    uint8_t type;
    uint8_t channel; // counted from 0
    uint8_t reserved[2];

    friend bool operator==(const KorvelMixerPin&, const KorvelMixerPin&) = default;
};
static_assert(sizeof(KorvelMixerPin) == 4);
static_assert(offsetof(KorvelMixerPin, type) == 0);
static_assert(offsetof(KorvelMixerPin, channel) == 1);
static_assert(offsetof(KorvelMixerPin, reserved) == 2);

// Element of GET_/SET_MIXER_OUTPUT_GAINS.
struct KorvelMixerGain
{
    KorvelMixerPin pin;
    uint8_t reserved;
    uint8_t flags; // KORVEL_MIXER_GAIN_FLAG_MUTED
    int16_t gain;  // hundredths of a dB
};
static_assert(sizeof(KorvelMixerGain) == 8);
static_assert(offsetof(KorvelMixerGain, pin) == 0);
static_assert(offsetof(KorvelMixerGain, reserved) == 4);
static_assert(offsetof(KorvelMixerGain, flags) == 5);
static_assert(offsetof(KorvelMixerGain, gain) == 6);

// Element of GET_/SET_MIXER_WEIGHTS. A stereo output pair and a stereo input
// pair meet in four entries: L/L, R/L, L/R, R/R (output named first).
struct KorvelMixerWeight
{
    KorvelMixerPin output;
    KorvelMixerPin input;
    int16_t weight; // hundredths of a dB
    uint8_t flags;  // KORVEL_MIXER_WEIGHT_FLAG_CONNECTED
    uint8_t reserved;
};
static_assert(sizeof(KorvelMixerWeight) == 12);
static_assert(offsetof(KorvelMixerWeight, output) == 0);
static_assert(offsetof(KorvelMixerWeight, input) == 4);
static_assert(offsetof(KorvelMixerWeight, weight) == 8);
static_assert(offsetof(KorvelMixerWeight, flags) == 10);
static_assert(offsetof(KorvelMixerWeight, reserved) == 11);
