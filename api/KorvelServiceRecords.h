#pragma once
// Records of the control requests that only the device control service sends,
// and the payload of its own WDM configuration requests.
#include "KorvelRecords.h"

#include <cstddef>
#include <cstdint>

// Input of IOCTL_KORVEL_STREAMING_COMMAND (driver handle of the server). The
// commands move the kernel driver's streaming state machine one step.
constexpr uint32_t KORVEL_STREAMING_CMD_LEAVE_ERROR = 1; // error (5) or USB 1.1 (6) left
constexpr uint32_t KORVEL_STREAMING_CMD_READY = 2;       // down (1) to ready (2); argument: flag
constexpr uint32_t KORVEL_STREAMING_CMD_DOWN = 3;        // ready (2) to down (1); argument: flag
constexpr uint32_t KORVEL_STREAMING_CMD_PREPARE = 4;     // ready (2) to prepared (3)
constexpr uint32_t KORVEL_STREAMING_CMD_RUN = 5;         // prepared (3) to running (4)
constexpr uint32_t KORVEL_STREAMING_CMD_STOP = 6;        // prepared or running to ready (2)

struct KorvelStreamingCommand
{
    uint32_t command;  // KORVEL_STREAMING_CMD_*
    uint32_t argument; // 0 except for READY and DOWN
};
static_assert(sizeof(KorvelStreamingCommand) == 8);
static_assert(offsetof(KorvelStreamingCommand, command) == 0);
static_assert(offsetof(KorvelStreamingCommand, argument) == 4);

// Input of IOCTL_KORVEL_SET_DEVICE_SETUP. The service sends one fixed record;
// what the values mean is the kernel driver's.
struct KorvelDeviceSetup
{
    uint32_t value0; // 2
    uint32_t value1; // 40
    uint32_t value2; // 0
    uint32_t value3; // 40
    uint8_t reserved[120];
};
static_assert(sizeof(KorvelDeviceSetup) == 136);
static_assert(offsetof(KorvelDeviceSetup, value0) == 0);
static_assert(offsetof(KorvelDeviceSetup, value1) == 4);
static_assert(offsetof(KorvelDeviceSetup, value2) == 8);
static_assert(offsetof(KorvelDeviceSetup, value3) == 12);
static_assert(offsetof(KorvelDeviceSetup, reserved) == 16);

// The record the service sends, all other bytes zero.
constexpr KorvelDeviceSetup KorvelStandardDeviceSetup()
{
    return KorvelDeviceSetup{2, 40, 0, 40, {}};
}

// Input of IOCTL_KORVEL_SET_ENDPOINT_STATE and IOCTL_KORVEL_SET_ENDPOINT_PARAMETER.
constexpr uint32_t KORVEL_ENDPOINT_STATE_OFF = 0;
constexpr uint32_t KORVEL_ENDPOINT_STATE_ON = 1;
constexpr uint32_t KORVEL_ENDPOINT_PARAMETER_VALUE = 8; // the only parameter the service sends

struct KorvelEndpointControl
{
    uint32_t selector; // the service uses 0 and 2
    uint32_t value;
};
static_assert(sizeof(KorvelEndpointControl) == 8);
static_assert(offsetof(KorvelEndpointControl, selector) == 0);
static_assert(offsetof(KorvelEndpointControl, value) == 4);

// Output of IOCTL_KORVEL_GET_AUDIO_FUNCTIONS. Only the kind of each item is
// read: the service asks whether any item of the first count entries has kind 2.
constexpr uint32_t KORVEL_AUDIO_FUNCTION_ITEMS = 16;
constexpr uint32_t KORVEL_MAX_AUDIO_FUNCTIONS = 12; // entries that fit the record
constexpr uint32_t KORVEL_AUDIO_FUNCTION_KIND_2 = 2;

struct KorvelAudioFunctionItem
{
    uint32_t kind;
    uint32_t reserved;
};
static_assert(sizeof(KorvelAudioFunctionItem) == 8);
static_assert(offsetof(KorvelAudioFunctionItem, kind) == 0);

struct KorvelAudioFunction
{
    uint32_t reserved0[4];
    KorvelAudioFunctionItem items1[KORVEL_AUDIO_FUNCTION_ITEMS];
    KorvelAudioFunctionItem items2[KORVEL_AUDIO_FUNCTION_ITEMS];
    uint32_t reserved1[6];
};
static_assert(sizeof(KorvelAudioFunction) == 296);
static_assert(offsetof(KorvelAudioFunction, items1) == 16);
static_assert(offsetof(KorvelAudioFunction, items2) == 144);
static_assert(offsetof(KorvelAudioFunction, reserved1) == 272);

struct KorvelAudioFunctions
{
    uint32_t count; // entries; larger than KORVEL_MAX_AUDIO_FUNCTIONS is not trusted
    KorvelAudioFunction entries[KORVEL_MAX_AUDIO_FUNCTIONS];
    uint8_t reserved[68]; // tail of the fixed-length record
};
static_assert(sizeof(KorvelAudioFunctions) == 3624);
static_assert(offsetof(KorvelAudioFunctions, count) == 0);
static_assert(offsetof(KorvelAudioFunctions, entries) == 4);
static_assert(offsetof(KorvelAudioFunctions, reserved) == 3556);

// Input and output of IOCTL_KORVEL_GET_SAVED_VOLUME, input of IOCTL_KORVEL_SAVE_VOLUME.
constexpr uint32_t KORVEL_SAVED_VOLUME_KIND_RENDER_GAINS = 2;
constexpr uint32_t KORVEL_SAVED_VOLUME_CHANNELS = 16;

struct KorvelSavedVolume
{
    uint32_t kind;      // KORVEL_SAVED_VOLUME_KIND_RENDER_GAINS
    uint32_t pairIndex; // entry index in the render list of the WDM pair table
    int32_t gains[KORVEL_SAVED_VOLUME_CHANNELS];  // 16.16 fixed-point dB, channel order of the pair
    uint32_t mutes[KORVEL_SAVED_VOLUME_CHANNELS]; // 0 or 1, same order
};
static_assert(sizeof(KorvelSavedVolume) == 136);
static_assert(offsetof(KorvelSavedVolume, kind) == 0);
static_assert(offsetof(KorvelSavedVolume, pairIndex) == 4);
static_assert(offsetof(KorvelSavedVolume, gains) == 8);
static_assert(offsetof(KorvelSavedVolume, mutes) == 72);

// Payload of KORVEL_CUSTOM_SET_WDM_CONFIG / GET_WDM_CONFIG and of the reply
// KORVEL_CUSTOM_REPLY_WDM_CONFIG.
struct KorvelWdmConfigRecord
{
    KorvelDeviceKey key;
    uint32_t renderConfiguration;  // 0: analog output pairs are listed
    uint32_t captureConfiguration; // 0: analog input pairs are listed
};
static_assert(sizeof(KorvelWdmConfigRecord) == 16);
static_assert(offsetof(KorvelWdmConfigRecord, key) == 0);
static_assert(offsetof(KorvelWdmConfigRecord, renderConfiguration) == 8);
static_assert(offsetof(KorvelWdmConfigRecord, captureConfiguration) == 12);
