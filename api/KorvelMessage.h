#pragma once
// The message record that the kernel driver relays between the deliverables:
// requests from clients to the one server, replies back to the sender, and
// notifications to every connection with a notification event.
#include <cstddef>
#include <cstdint>
#include <type_traits>

constexpr uint32_t KORVEL_MSG_HEADER_SIZE = 32;
constexpr uint32_t KORVEL_MSG_MAX_PAYLOAD = 512;
constexpr uint32_t KORVEL_MSG_SIZE = KORVEL_MSG_HEADER_SIZE + KORVEL_MSG_MAX_PAYLOAD;

// Message types.
constexpr uint32_t KORVEL_MSG_TYPE_REQUEST = 1;
constexpr uint32_t KORVEL_MSG_TYPE_REPLY = 2;
constexpr uint32_t KORVEL_MSG_TYPE_NOTIFICATION = 3;

// Requests (type 1), answered by the server with one reply each.
constexpr uint32_t KORVEL_MSG_SET_SAMPLE_RATE = 1001;         // u32 rate in Hz
constexpr uint32_t KORVEL_MSG_SET_BUFFER_SIZES = 1002;        // KorvelBufferSizesSetting
constexpr uint32_t KORVEL_MSG_SELECT_STREAMING_DEVICE = 1003; // KorvelStreamingDeviceSelection
constexpr uint32_t KORVEL_MSG_SET_DSD_MODE = 1004;            // u8: 1 DSD, 0 PCM
constexpr uint32_t KORVEL_MSG_SET_POLICY = 1005;              // u32 policy word
constexpr uint32_t KORVEL_MSG_REPLY_TIMEOUT_MS = 30000;

// Reply (type 2): no payload, the request's status in the result field.
constexpr uint32_t KORVEL_MSG_REPLY = 2001;

// Server requests that none of the deliverables sends (16-byte KorvelWdmConfigRecord).
constexpr uint32_t KORVEL_CUSTOM_SET_WDM_CONFIG = 11001;
constexpr uint32_t KORVEL_CUSTOM_GET_WDM_CONFIG = 11002;
constexpr uint32_t KORVEL_CUSTOM_REPLY_WDM_CONFIG = 12001; // code of the reply to 11002

// Notifications (type 3).
constexpr uint32_t KORVEL_NOTIFY_SETTINGS_CHANGED = 3001;
constexpr uint32_t KORVEL_NOTIFY_STREAM_START_NEEDED = 3003;
constexpr uint32_t KORVEL_NOTIFY_STREAM_STOP_POSSIBLE = 3004;
constexpr uint32_t KORVEL_NOTIFY_DEVICE_LIST_CHANGED = 3005;
constexpr uint32_t KORVEL_NOTIFY_STREAM_RESTART_NEEDED = 3006;
constexpr uint32_t KORVEL_NOTIFY_STREAMING_CHANGED = 3010;
constexpr uint32_t KORVEL_NOTIFY_SAMPLE_RATE_CHANGED = 3011;
constexpr uint32_t KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED = 3015;  // KorvelClientStreamNotice
constexpr uint32_t KORVEL_NOTIFY_CLIENT_STREAM_STOP_POSSIBLE = 3016; // KorvelClientStreamNotice
constexpr uint32_t KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST = 3020;
constexpr uint32_t KORVEL_NOTIFY_UNNAMED_3021 = 3021; // raised by the kernel driver, ignored
constexpr uint32_t KORVEL_NOTIFY_DEVICES_CHANGED = 3030;
constexpr uint32_t KORVEL_NOTIFY_DEVICE_STATUS_CHANGED = 3040; // KorvelDeviceKey
constexpr uint32_t KORVEL_NOTIFY_MIXER_PINS_CHANGED = 3050;    // KorvelDeviceKey
constexpr uint32_t KORVEL_NOTIFY_MIXER_GAINS_CHANGED = 3051;   // KorvelDeviceKey
constexpr uint32_t KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED = 3052; // KorvelDeviceKey
constexpr uint32_t KORVEL_NOTIFY_ENDPOINT_EVENT = 3060;        // KorvelEndpointEvent

// Sent with IOCTL_KORVEL_SEND_MESSAGE (input length WireLength()) and received
// whole (544 bytes). A plain record owned by its user; copied, never shared.
struct KorvelMessage
{
    uint32_t headerSize;    // always KORVEL_MSG_HEADER_SIZE
    uint32_t payloadLength; // 0 to KORVEL_MSG_MAX_PAYLOAD
    uint32_t type;          // KORVEL_MSG_TYPE_*
    uint32_t code;
    uint32_t sequence; // set by the sender of a request, never 0; a reply carries its request's
    uint32_t routing1; // 0 from a deliverable; a reply carries its request's
    uint32_t routing2; // 0 from a deliverable; a reply carries its request's
    uint32_t result;   // in a reply: the request's status; otherwise 0
    uint8_t payload[KORVEL_MSG_MAX_PAYLOAD];

    // Header size 32, payload length 0, the type and code; everything from the
    // sequence number to the end of the payload zeroed.
    void Init(uint32_t msgType, uint32_t msgCode);

    // The reply to a request: Init(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY), the
    // result, and the request's sequence number and routing words.
    void InitReply(const KorvelMessage& request, uint32_t status);

    // Copies length bytes into the payload. Above KORVEL_MSG_MAX_PAYLOAD:
    // KORVEL_STATUS_INVALID_LENGTH and the message is left unchanged.
    uint32_t SetPayload(const void* data, uint32_t length);

    // Copies the stored payload into buffer, whose capacity is length, and
    // returns the stored length in length. A stored length above the capacity
    // (or above KORVEL_MSG_MAX_PAYLOAD, from a damaged record) gives
    // KORVEL_STATUS_INVALID_LENGTH and copies nothing.
    uint32_t GetPayload(void* buffer, uint32_t& length) const;

    // Reads a payload that must be exactly size bytes long: longer gives
    // KORVEL_STATUS_INVALID_LENGTH, shorter KORVEL_STATUS_INVALID_MSG_SIZE.
    // The record is written only on success.
    uint32_t ReadPayload(void* record, uint32_t size) const;

    // Typed form for the payload records in use (1, 4, 8, 12 and 16 bytes).
    template <class T> uint32_t ReadPayload(T& record) const
    {
        static_assert(std::is_trivially_copyable_v<T>, "payloads are plain records");
        static_assert(!std::is_pointer_v<T>, "pass the record, not a pointer to it");
        static_assert(sizeof(T) == 1 || sizeof(T) == 4 || sizeof(T) == 8 || sizeof(T) == 12 ||
                          sizeof(T) == 16,
                      "no message payload has this size");
        return ReadPayload(&record, static_cast<uint32_t>(sizeof(T)));
    }

    // True when the payload length lies within the record; a message that is
    // not must not be sent.
    bool HasValidLength() const { return payloadLength <= KORVEL_MSG_MAX_PAYLOAD; }

    // Input length of IOCTL_KORVEL_SEND_MESSAGE: header plus payload length.
    // Never more than the record, even for a damaged payload length.
    uint32_t WireLength() const
    {
        return KORVEL_MSG_HEADER_SIZE + (HasValidLength() ? payloadLength : KORVEL_MSG_MAX_PAYLOAD);
    }

    // A receiver clears type and code before each receive so that a request
    // that returns nothing cannot leave a stale message looking valid.
    void ClearForReceive()
    {
        type = 0;
        code = 0;
    }
};
static_assert(std::is_standard_layout_v<KorvelMessage>);
static_assert(std::is_trivially_copyable_v<KorvelMessage>);
static_assert(sizeof(KorvelMessage) == KORVEL_MSG_SIZE);
static_assert(offsetof(KorvelMessage, headerSize) == 0);
static_assert(offsetof(KorvelMessage, payloadLength) == 4);
static_assert(offsetof(KorvelMessage, type) == 8);
static_assert(offsetof(KorvelMessage, code) == 12);
static_assert(offsetof(KorvelMessage, sequence) == 16);
static_assert(offsetof(KorvelMessage, routing1) == 20);
static_assert(offsetof(KorvelMessage, routing2) == 24);
static_assert(offsetof(KorvelMessage, result) == 28);
static_assert(offsetof(KorvelMessage, payload) == 32);
