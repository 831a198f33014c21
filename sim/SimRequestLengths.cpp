#include "SimRequestLengths.h"

#include "KorvelAsioRecords.h"
#include "KorvelEchoRecord.h"
#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelMixerRecords.h"
#include "KorvelRecords.h"
#include "KorvelServiceRecords.h"
#include "KorvelStatus.h"
#include "KorvelWdmRecords.h"
#include "SimMixer.h"

#include <iterator>

namespace {

using R = SimLengthRule;

// The mixer arrays' limits are the simulated mixer's; the pin list may be
// asked for with any room up to the largest pin set.
constexpr uint32_t PIN_ROOM = SimMixer::MAX_PIN_ENTRIES * sizeof(KorvelMixerPin);

constexpr SimLengthRule RULES[] = {
    R::Fixed(IOCTL_KORVEL_GET_VERSION, 0, sizeof(KorvelVersionInfo)),
    // 32 + payload length: the messaging layer checks it against the header
    // (a payload length above 512 is INVALID_LENGTH, a disagreeing input
    // length INVALID_INBUFFER_SIZE).
    {IOCTL_KORVEL_SEND_MESSAGE, KORVEL_MSG_HEADER_SIZE, UINT32_MAX, 1, false, 0, 0, 1},
    R::Fixed(IOCTL_KORVEL_RECEIVE_MESSAGE, 0, sizeof(KorvelMessage)),
    R::Fixed(IOCTL_KORVEL_RECEIVE_NOTIFICATION, 0, sizeof(KorvelMessage)),
    R::Fixed(IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, sizeof(KorvelEventRegistration), 0),
    R::Fixed(IOCTL_KORVEL_SET_CLIENT_TYPE, sizeof(uint32_t), 0),
    R::Fixed(IOCTL_KORVEL_GET_DEVICE_LIST, 0, sizeof(KorvelDeviceList)),
    R::Fixed(IOCTL_KORVEL_OPEN_DEVICE, sizeof(KorvelDeviceKey), 0),
    R::Fixed(IOCTL_KORVEL_GET_INPUT_CHANNELS, 0, sizeof(KorvelChannelList)),
    R::Fixed(IOCTL_KORVEL_GET_OUTPUT_CHANNELS, 0, sizeof(KorvelChannelList)),
    R::Fixed(IOCTL_KORVEL_GET_CHANNEL_INFO, sizeof(KorvelChannelKey), sizeof(KorvelChannelInfo)),
    R::Fixed(IOCTL_KORVEL_GET_SAMPLE_RATES, 0, sizeof(KorvelSampleRates)),
    R::Fixed(IOCTL_KORVEL_GET_BUFFER_SIZES, 0, sizeof(KorvelBufferSizes)),
    R::Fixed(IOCTL_KORVEL_GET_STREAMING_STATE, 0, sizeof(KorvelStreamingState)),
    R::Fixed(IOCTL_KORVEL_GET_STATUS_COUNTERS, 0, sizeof(KorvelStatusCounters)),
    R::Fixed(IOCTL_KORVEL_STREAMING_COMMAND, sizeof(KorvelStreamingCommand), 0),
    R::Fixed(IOCTL_KORVEL_SET_SAMPLE_RATE, sizeof(uint32_t), 0),
    R::Fixed(IOCTL_KORVEL_SET_BUFFER_SIZES, sizeof(KorvelBufferSizesSetting), 0),
    R::Fixed(IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE, sizeof(uint32_t), 0),
    R::Fixed(IOCTL_KORVEL_SET_POLICY, sizeof(uint32_t), 0),
    R::Fixed(IOCTL_KORVEL_GET_POLICY, 0, sizeof(uint32_t)),
    R::Fixed(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, sizeof(KorvelStreamingDeviceSelection), 0),
    R::Fixed(IOCTL_KORVEL_GET_AUDIO_FUNCTIONS, 0, sizeof(KorvelAudioFunctions)),
    R::Fixed(IOCTL_KORVEL_SET_DEVICE_SETUP, sizeof(KorvelDeviceSetup), 0),
    R::Fixed(IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES, sizeof(KorvelWdmChannelTable), 0),
    R::Fixed(IOCTL_KORVEL_SET_WDM_PAIR_NAMES, sizeof(KorvelWdmPairTable), 0),
    R::Fixed(IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, sizeof(KorvelSpdifInputStatus),
             sizeof(KorvelSpdifInputStatus)),
    R::Fixed(IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, sizeof(KorvelSpdifPassThrough), 0),
    R::Fixed(IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH, sizeof(KorvelSpdifPassThrough),
             sizeof(KorvelSpdifPassThrough)),
    R::Array(IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS, sizeof(KorvelMixerLevel),
             SimMixer::MAX_PIN_ENTRIES),
    R::Array(IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS, sizeof(KorvelMixerLevel),
             SimMixer::MAX_PIN_ENTRIES),
    {IOCTL_KORVEL_GET_MIXER_PINS, sizeof(uint32_t), sizeof(uint32_t), 1, false, 0, PIN_ROOM,
     sizeof(KorvelMixerPin)},
    R::Array(IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, sizeof(KorvelMixerGain),
             SimMixer::MAX_PIN_ENTRIES),
    R::Array(IOCTL_KORVEL_GET_MIXER_WEIGHTS, sizeof(KorvelMixerWeight),
             SimMixer::MAX_WEIGHT_ENTRIES),
    R::Array(IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, sizeof(KorvelMixerGain),
             SimMixer::MAX_PIN_ENTRIES),
    R::Array(IOCTL_KORVEL_SET_MIXER_WEIGHTS, sizeof(KorvelMixerWeight),
             SimMixer::MAX_WEIGHT_ENTRIES),
    R::Fixed(IOCTL_KORVEL_SET_VOLUME_BYPASS, 1, 0),
    R::Fixed(IOCTL_KORVEL_GET_VOLUME_BYPASS, 0, 1),
    R::Fixed(IOCTL_KORVEL_SET_BYPASS_MUTE, 1, 0),
    R::Fixed(IOCTL_KORVEL_GET_SAVED_VOLUME, sizeof(KorvelSavedVolume), sizeof(KorvelSavedVolume)),
    R::Fixed(IOCTL_KORVEL_SAVE_VOLUME, sizeof(KorvelSavedVolume), 0),
    R::Fixed(IOCTL_KORVEL_SET_ECHO, sizeof(KorvelEchoRecord), 0),
    R::Fixed(IOCTL_KORVEL_GET_ECHO, sizeof(KorvelEchoRecord), sizeof(KorvelEchoRecord)),
    R::Fixed(IOCTL_KORVEL_SET_ENDPOINT_PARAMETER, sizeof(KorvelEndpointControl), 0),
    R::Fixed(IOCTL_KORVEL_SET_ENDPOINT_STATE, sizeof(KorvelEndpointControl), 0),
    // The ASIO group (answered on the ASIO control device only, see SimAsio).
    R::Fixed(IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG, 0, sizeof(KorvelAsioStreamConfig)),
    R::Fixed(IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST, 0, sizeof(KorvelAsioChannelList)),
    R::Fixed(IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO, sizeof(KorvelChannelKey),
             sizeof(KorvelAsioChannelInfo)),
    R::Fixed(IOCTL_KORVEL_ASIO_GET_LATENCIES, 0, sizeof(KorvelAsioLatencies)),
    R::Fixed(IOCTL_KORVEL_ASIO_ENABLE_CHANNEL, sizeof(KorvelChannelKey), 0),
    R::Fixed(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL, sizeof(KorvelChannelKey), 0),
    R::Fixed(IOCTL_KORVEL_ASIO_CREATE_BUFFERS, sizeof(KorvelAsioBufferSetup), 0),
    R::Fixed(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS, 0, 0),
    R::Fixed(IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER, sizeof(KorvelAsioChannelBuffer), 0),
    R::Fixed(IOCTL_KORVEL_ASIO_START, 0, 0),
    R::Fixed(IOCTL_KORVEL_ASIO_STOP, 0, 0),
};

bool InRange(uint32_t length, uint32_t min, uint32_t max, uint32_t step)
{
    return length >= min && length <= max && (step <= 1 || length % step == 0);
}

} // namespace

const SimLengthRule* SimRequestLengths::Find(uint32_t code)
{
    for (const SimLengthRule& rule : RULES) {
        if (rule.code == code) {
            return &rule;
        }
    }
    return nullptr;
}

uint32_t SimRequestLengths::Check(uint32_t code, uint32_t inLength, uint32_t outCapacity)
{
    const SimLengthRule* rule = Find(code);
    return rule == nullptr ? KORVEL_STATUS_INVALID_IOCTL : Check(*rule, inLength, outCapacity);
}

uint32_t SimRequestLengths::Check(const SimLengthRule& rule, uint32_t inLength,
                                  uint32_t outCapacity)
{
    if (!InRange(inLength, rule.inMin, rule.inMax, rule.inStep)) {
        return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
    }
    bool outOk = rule.outSameAsIn ? outCapacity == inLength
                                  : InRange(outCapacity, rule.outMin, rule.outMax, rule.outStep);
    return outOk ? KORVEL_STATUS_SUCCESS : KORVEL_STATUS_INVALID_OUTBUFFER_SIZE;
}
