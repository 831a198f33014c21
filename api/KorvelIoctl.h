#pragma once
// Control device names and control codes of the kernel driver's control
// interface. Every code is CTL_CODE(KORVEL_DEVICE_TYPE, function,
// METHOD_BUFFERED, FILE_ANY_ACCESS): all requests are buffered.
#include <cstdint>

// Control device opened by the control panel and the device control service.
constexpr const wchar_t* KORVEL_CONTROL_DEVICE_NAME = L"{37A02BA4-5264-4c11-8803-F2150F581BB0}";
// Control device opened by the ASIO driver.
constexpr const wchar_t* KORVEL_ASIO_CONTROL_DEVICE_NAME =
    L"{9A883D1C-2D3E-49A6-AACE-0FFC8611B5EF}";

constexpr uint32_t KORVEL_DEVICE_TYPE = 0x8088;

// CTL_CODE with METHOD_BUFFERED (0) and FILE_ANY_ACCESS (0).
constexpr uint32_t KorvelControlCode(uint32_t function)
{
    return (KORVEL_DEVICE_TYPE << 16) | (function << 2);
}

// Version (driver handle).
constexpr uint32_t IOCTL_KORVEL_GET_VERSION = KorvelControlCode(0x801);

// Messaging, notification events, client type (driver handle).
constexpr uint32_t IOCTL_KORVEL_SEND_MESSAGE = KorvelControlCode(0x810);
constexpr uint32_t IOCTL_KORVEL_RECEIVE_MESSAGE = KorvelControlCode(0x811);
constexpr uint32_t IOCTL_KORVEL_RECEIVE_NOTIFICATION = KorvelControlCode(0x812);
constexpr uint32_t IOCTL_KORVEL_SET_NOTIFICATION_EVENTS = KorvelControlCode(0x816);
constexpr uint32_t IOCTL_KORVEL_SET_CLIENT_TYPE = KorvelControlCode(0x819);

// Devices and channels (driver handle; OPEN_DEVICE turns it into a device handle).
constexpr uint32_t IOCTL_KORVEL_GET_DEVICE_LIST = KorvelControlCode(0x820);
constexpr uint32_t IOCTL_KORVEL_OPEN_DEVICE = KorvelControlCode(0x821);
constexpr uint32_t IOCTL_KORVEL_GET_INPUT_CHANNELS = KorvelControlCode(0x824);
constexpr uint32_t IOCTL_KORVEL_GET_OUTPUT_CHANNELS = KorvelControlCode(0x825);
constexpr uint32_t IOCTL_KORVEL_GET_CHANNEL_INFO = KorvelControlCode(0x826);

// Streaming information (driver handle).
constexpr uint32_t IOCTL_KORVEL_GET_SAMPLE_RATES = KorvelControlCode(0x830);
constexpr uint32_t IOCTL_KORVEL_GET_BUFFER_SIZES = KorvelControlCode(0x831);
constexpr uint32_t IOCTL_KORVEL_GET_STREAMING_STATE = KorvelControlCode(0x834);
constexpr uint32_t IOCTL_KORVEL_GET_STATUS_COUNTERS = KorvelControlCode(0x835);

// Streaming commands and settings (driver handle; issued by the service only).
constexpr uint32_t IOCTL_KORVEL_STREAMING_COMMAND = KorvelControlCode(0x840);
constexpr uint32_t IOCTL_KORVEL_SET_SAMPLE_RATE = KorvelControlCode(0x900);
constexpr uint32_t IOCTL_KORVEL_SET_BUFFER_SIZES = KorvelControlCode(0x901);
constexpr uint32_t IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE = KorvelControlCode(0x902);
constexpr uint32_t IOCTL_KORVEL_SET_POLICY = KorvelControlCode(0x903);
constexpr uint32_t IOCTL_KORVEL_GET_POLICY = KorvelControlCode(0x904);
constexpr uint32_t IOCTL_KORVEL_SELECT_STREAMING_DEVICE = KorvelControlCode(0x910);

// Device level (device handle): audio functions, setup, WDM names.
constexpr uint32_t IOCTL_KORVEL_GET_AUDIO_FUNCTIONS = KorvelControlCode(0xB00);
constexpr uint32_t IOCTL_KORVEL_SET_DEVICE_SETUP = KorvelControlCode(0xB08);
constexpr uint32_t IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES = KorvelControlCode(0xB10);
constexpr uint32_t IOCTL_KORVEL_SET_WDM_PAIR_NAMES = KorvelControlCode(0xB11);

// Device level: SPDIF.
constexpr uint32_t IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS = KorvelControlCode(0xB20);
constexpr uint32_t IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH = KorvelControlCode(0xB21);
constexpr uint32_t IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH = KorvelControlCode(0xB22);

// Device level: mixer and volume bypass.
constexpr uint32_t IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS = KorvelControlCode(0xB30);
constexpr uint32_t IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS = KorvelControlCode(0xB31);
constexpr uint32_t IOCTL_KORVEL_GET_MIXER_PINS = KorvelControlCode(0xB38);
constexpr uint32_t IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS = KorvelControlCode(0xB40);
constexpr uint32_t IOCTL_KORVEL_GET_MIXER_WEIGHTS = KorvelControlCode(0xB41);
constexpr uint32_t IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS = KorvelControlCode(0xB44);
constexpr uint32_t IOCTL_KORVEL_SET_MIXER_WEIGHTS = KorvelControlCode(0xB45);
constexpr uint32_t IOCTL_KORVEL_SET_VOLUME_BYPASS = KorvelControlCode(0xB46);
constexpr uint32_t IOCTL_KORVEL_GET_VOLUME_BYPASS = KorvelControlCode(0xB47);
constexpr uint32_t IOCTL_KORVEL_SET_BYPASS_MUTE = KorvelControlCode(0xB48);

// Device level: saved volumes and echo.
constexpr uint32_t IOCTL_KORVEL_GET_SAVED_VOLUME = KorvelControlCode(0xB70);
constexpr uint32_t IOCTL_KORVEL_SAVE_VOLUME = KorvelControlCode(0xB71);
constexpr uint32_t IOCTL_KORVEL_SET_ECHO = KorvelControlCode(0xB90);
constexpr uint32_t IOCTL_KORVEL_GET_ECHO = KorvelControlCode(0xB91);

// Device level: endpoint control.
constexpr uint32_t IOCTL_KORVEL_SET_ENDPOINT_PARAMETER = KorvelControlCode(0xC20);
constexpr uint32_t IOCTL_KORVEL_SET_ENDPOINT_STATE = KorvelControlCode(0xC22);

// ASIO streaming (driver handle of the ASIO control device).
constexpr uint32_t IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG = KorvelControlCode(0xF02);
constexpr uint32_t IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST = KorvelControlCode(0xF03);
constexpr uint32_t IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO = KorvelControlCode(0xF04);
constexpr uint32_t IOCTL_KORVEL_ASIO_GET_LATENCIES = KorvelControlCode(0xF05);
constexpr uint32_t IOCTL_KORVEL_ASIO_ENABLE_CHANNEL = KorvelControlCode(0xF10);
constexpr uint32_t IOCTL_KORVEL_ASIO_DISABLE_CHANNEL = KorvelControlCode(0xF11);
constexpr uint32_t IOCTL_KORVEL_ASIO_CREATE_BUFFERS = KorvelControlCode(0xF20);
constexpr uint32_t IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS = KorvelControlCode(0xF21);
constexpr uint32_t IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER = KorvelControlCode(0xF28);
constexpr uint32_t IOCTL_KORVEL_ASIO_START = KorvelControlCode(0xF30);
constexpr uint32_t IOCTL_KORVEL_ASIO_STOP = KorvelControlCode(0xF31);

// The published code values; a slip in a function number breaks the build here.
static_assert(IOCTL_KORVEL_GET_VERSION == 0x80882004);
static_assert(IOCTL_KORVEL_SEND_MESSAGE == 0x80882040);
static_assert(IOCTL_KORVEL_RECEIVE_MESSAGE == 0x80882044);
static_assert(IOCTL_KORVEL_RECEIVE_NOTIFICATION == 0x80882048);
static_assert(IOCTL_KORVEL_SET_NOTIFICATION_EVENTS == 0x80882058);
static_assert(IOCTL_KORVEL_SET_CLIENT_TYPE == 0x80882064);
static_assert(IOCTL_KORVEL_GET_DEVICE_LIST == 0x80882080);
static_assert(IOCTL_KORVEL_OPEN_DEVICE == 0x80882084);
static_assert(IOCTL_KORVEL_GET_INPUT_CHANNELS == 0x80882090);
static_assert(IOCTL_KORVEL_GET_OUTPUT_CHANNELS == 0x80882094);
static_assert(IOCTL_KORVEL_GET_CHANNEL_INFO == 0x80882098);
static_assert(IOCTL_KORVEL_GET_SAMPLE_RATES == 0x808820C0);
static_assert(IOCTL_KORVEL_GET_BUFFER_SIZES == 0x808820C4);
static_assert(IOCTL_KORVEL_GET_STREAMING_STATE == 0x808820D0);
static_assert(IOCTL_KORVEL_GET_STATUS_COUNTERS == 0x808820D4);
static_assert(IOCTL_KORVEL_STREAMING_COMMAND == 0x80882100);
static_assert(IOCTL_KORVEL_SET_SAMPLE_RATE == 0x80882400);
static_assert(IOCTL_KORVEL_SET_BUFFER_SIZES == 0x80882404);
static_assert(IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE == 0x80882408);
static_assert(IOCTL_KORVEL_SET_POLICY == 0x8088240C);
static_assert(IOCTL_KORVEL_GET_POLICY == 0x80882410);
static_assert(IOCTL_KORVEL_SELECT_STREAMING_DEVICE == 0x80882440);
static_assert(IOCTL_KORVEL_GET_AUDIO_FUNCTIONS == 0x80882C00);
static_assert(IOCTL_KORVEL_SET_DEVICE_SETUP == 0x80882C20);
static_assert(IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES == 0x80882C40);
static_assert(IOCTL_KORVEL_SET_WDM_PAIR_NAMES == 0x80882C44);
static_assert(IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS == 0x80882C80);
static_assert(IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH == 0x80882C84);
static_assert(IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH == 0x80882C88);
static_assert(IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS == 0x80882CC0);
static_assert(IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS == 0x80882CC4);
static_assert(IOCTL_KORVEL_GET_MIXER_PINS == 0x80882CE0);
static_assert(IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS == 0x80882D00);
static_assert(IOCTL_KORVEL_GET_MIXER_WEIGHTS == 0x80882D04);
static_assert(IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS == 0x80882D10);
static_assert(IOCTL_KORVEL_SET_MIXER_WEIGHTS == 0x80882D14);
static_assert(IOCTL_KORVEL_SET_VOLUME_BYPASS == 0x80882D18);
static_assert(IOCTL_KORVEL_GET_VOLUME_BYPASS == 0x80882D1C);
static_assert(IOCTL_KORVEL_SET_BYPASS_MUTE == 0x80882D20);
static_assert(IOCTL_KORVEL_GET_SAVED_VOLUME == 0x80882DC0);
static_assert(IOCTL_KORVEL_SAVE_VOLUME == 0x80882DC4);
static_assert(IOCTL_KORVEL_SET_ECHO == 0x80882E40);
static_assert(IOCTL_KORVEL_GET_ECHO == 0x80882E44);
static_assert(IOCTL_KORVEL_SET_ENDPOINT_PARAMETER == 0x80883080);
static_assert(IOCTL_KORVEL_SET_ENDPOINT_STATE == 0x80883088);
static_assert(IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG == 0x80883C08);
static_assert(IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST == 0x80883C0C);
static_assert(IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO == 0x80883C10);
static_assert(IOCTL_KORVEL_ASIO_GET_LATENCIES == 0x80883C14);
static_assert(IOCTL_KORVEL_ASIO_ENABLE_CHANNEL == 0x80883C40);
static_assert(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL == 0x80883C44);
static_assert(IOCTL_KORVEL_ASIO_CREATE_BUFFERS == 0x80883C80);
static_assert(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS == 0x80883C84);
static_assert(IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER == 0x80883CA0);
static_assert(IOCTL_KORVEL_ASIO_START == 0x80883CC0);
static_assert(IOCTL_KORVEL_ASIO_STOP == 0x80883CC4);
