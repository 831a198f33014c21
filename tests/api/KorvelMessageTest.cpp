#include "KorvelMessage.h"
#include "KorvelRecords.h"
#include "KorvelStatus.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

// A message with every byte set, so that any byte an operation should clear
// or keep is visible.
KorvelMessage DirtyMessage()
{
    KorvelMessage msg;
    std::memset(&msg, 0xA5, sizeof(msg));
    return msg;
}

bool BytesAreZero(const void* data, size_t from, size_t to)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

KorvelMessage MessageWithPayloadLength(uint32_t length)
{
    KorvelMessage msg;
    msg.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_SAMPLE_RATE);
    std::array<uint8_t, KORVEL_MSG_MAX_PAYLOAD> data{};
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i + 1);
    }
    EXPECT_EQ(KORVEL_STATUS_SUCCESS, msg.SetPayload(data.data(), length));
    return msg;
}

} // namespace

TEST(KorvelMessage, InitSetsHeaderAndZeroesTheRest)
{
    KorvelMessage msg = DirtyMessage();
    msg.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_DEVICES_CHANGED);
    EXPECT_EQ(32u, msg.headerSize);
    EXPECT_EQ(0u, msg.payloadLength);
    EXPECT_EQ(3u, msg.type);
    EXPECT_EQ(3030u, msg.code);
    EXPECT_TRUE(BytesAreZero(&msg, 16, sizeof(msg)));
    // An empty payload goes on the wire as the bare header.
    EXPECT_EQ(32u, msg.WireLength());
}

TEST(KorvelMessage, InitReplyCopiesRoutingAndStoresResult)
{
    KorvelMessage request;
    request.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_POLICY);
    request.sequence = 0x11223344;
    request.routing1 = 0x55667788;
    request.routing2 = 0x99AABBCC;
    const uint32_t policy = 1;
    ASSERT_EQ(KORVEL_STATUS_SUCCESS, request.SetPayload(&policy, sizeof(policy)));

    KorvelMessage reply = DirtyMessage();
    reply.InitReply(request, KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    EXPECT_EQ(32u, reply.headerSize);
    EXPECT_EQ(0u, reply.payloadLength);
    EXPECT_EQ(2u, reply.type);
    EXPECT_EQ(2001u, reply.code);
    EXPECT_EQ(0x11223344u, reply.sequence);
    EXPECT_EQ(0x55667788u, reply.routing1);
    EXPECT_EQ(0x99AABBCCu, reply.routing2);
    uint32_t atOffset28 = 0;
    std::memcpy(&atOffset28, reinterpret_cast<const uint8_t*>(&reply) + 28, 4);
    EXPECT_EQ(0xE0000090u, atOffset28);
    EXPECT_TRUE(BytesAreZero(&reply, 32, sizeof(reply)));
}

TEST(KorvelMessage, InitReplyInPlaceKeepsTheRequestWords)
{
    KorvelMessage msg;
    msg.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_SAMPLE_RATE);
    msg.sequence = 7;
    msg.routing1 = 8;
    msg.routing2 = 9;
    msg.InitReply(msg, KORVEL_STATUS_INVALID_COMMAND);
    EXPECT_EQ(7u, msg.sequence);
    EXPECT_EQ(8u, msg.routing1);
    EXPECT_EQ(9u, msg.routing2);
    EXPECT_EQ(KORVEL_STATUS_INVALID_COMMAND, msg.result);
}

TEST(KorvelMessage, SetPayloadAcceptsUpTo512AndRefuses513Unchanged)
{
    KorvelMessage full = MessageWithPayloadLength(512);
    EXPECT_EQ(512u, full.payloadLength);
    EXPECT_EQ(544u, full.WireLength());
    EXPECT_EQ(1, full.payload[0]);
    EXPECT_EQ(0, full.payload[511]); // (511 + 1) wraps to 0 as a byte
    EXPECT_EQ(255, full.payload[510]);

    KorvelMessage msg = MessageWithPayloadLength(12);
    const KorvelMessage before = msg;
    std::array<uint8_t, 513> tooLong{};
    tooLong.fill(0xEE);
    EXPECT_EQ(KORVEL_STATUS_INVALID_LENGTH, msg.SetPayload(tooLong.data(), 513));
    EXPECT_EQ(0, std::memcmp(&before, &msg, sizeof(msg)));
    EXPECT_EQ(44u, msg.WireLength());
}

TEST(KorvelMessage, ShorterPayloadClearsTheOldTail)
{
    KorvelMessage msg = MessageWithPayloadLength(100);
    const uint8_t one = 0x42;
    ASSERT_EQ(KORVEL_STATUS_SUCCESS, msg.SetPayload(&one, 1));
    EXPECT_EQ(1u, msg.payloadLength);
    EXPECT_EQ(0x42, msg.payload[0]);
    EXPECT_TRUE(BytesAreZero(msg.payload, 1, sizeof(msg.payload)));
}

TEST(KorvelMessage, GetPayloadChecksTheCapacity)
{
    const KorvelMessage msg = MessageWithPayloadLength(12);

    uint8_t small[11];
    std::memset(small, 0xCC, sizeof(small));
    uint32_t length = sizeof(small);
    EXPECT_EQ(KORVEL_STATUS_INVALID_LENGTH, msg.GetPayload(small, length));
    EXPECT_EQ(11u, length);
    EXPECT_EQ(0xCC, small[0]); // nothing copied

    uint8_t large[64] = {};
    length = sizeof(large);
    EXPECT_EQ(KORVEL_STATUS_SUCCESS, msg.GetPayload(large, length));
    EXPECT_EQ(12u, length);
    EXPECT_EQ(1, large[0]);
    EXPECT_EQ(12, large[11]);
    EXPECT_EQ(0, large[12]);
}

TEST(KorvelMessage, DamagedPayloadLengthIsNeverTrusted)
{
    // A record from outside claiming more than the payload area holds.
    KorvelMessage msg = MessageWithPayloadLength(4);
    msg.payloadLength = 0x10000;
    std::array<uint8_t, 0x10000> big{};
    uint32_t length = static_cast<uint32_t>(big.size());
    EXPECT_EQ(KORVEL_STATUS_INVALID_LENGTH, msg.GetPayload(big.data(), length));
    EXPECT_FALSE(msg.HasValidLength());
    EXPECT_EQ(544u, msg.WireLength());
}

TEST(KorvelMessage, ReadPayloadNeedsTheExactSize)
{
    uint32_t value = 0xDEADBEEF;
    // Longer than the record.
    EXPECT_EQ(KORVEL_STATUS_INVALID_LENGTH, MessageWithPayloadLength(12).ReadPayload(value));
    // Shorter than the record; the record keeps its value.
    EXPECT_EQ(KORVEL_STATUS_INVALID_MSG_SIZE, MessageWithPayloadLength(1).ReadPayload(value));
    EXPECT_EQ(KORVEL_STATUS_INVALID_MSG_SIZE, MessageWithPayloadLength(0).ReadPayload(value));
    EXPECT_EQ(0xDEADBEEFu, value);
    // Exact.
    EXPECT_EQ(KORVEL_STATUS_SUCCESS, MessageWithPayloadLength(4).ReadPayload(value));
    EXPECT_EQ(0x04030201u, value);
}

TEST(KorvelMessage, ReadPayloadRoundTripsTheRecordsInUse)
{
    KorvelMessage msg;
    msg.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SELECT_STREAMING_DEVICE);
    const KorvelStreamingDeviceSelection sent{0, {0x1234, 0x5678}};
    ASSERT_EQ(KORVEL_STATUS_SUCCESS, msg.SetPayload(&sent, sizeof(sent)));
    EXPECT_EQ(44u, msg.WireLength());
    KorvelStreamingDeviceSelection got{};
    EXPECT_EQ(KORVEL_STATUS_SUCCESS, msg.ReadPayload(got));
    EXPECT_EQ(0u, got.allDevices);
    EXPECT_EQ(sent.key, got.key);

    const uint8_t dsd = 1;
    ASSERT_EQ(KORVEL_STATUS_SUCCESS, msg.SetPayload(&dsd, 1));
    uint8_t mode = 0;
    EXPECT_EQ(KORVEL_STATUS_SUCCESS, msg.ReadPayload(mode));
    EXPECT_EQ(1, mode);
    // A one-byte payload is too short for an 8-byte device key.
    KorvelDeviceKey key{};
    EXPECT_EQ(KORVEL_STATUS_INVALID_MSG_SIZE, msg.ReadPayload(key));

    const KorvelEndpointEvent event{{1, 2}, 2, 5};
    ASSERT_EQ(KORVEL_STATUS_SUCCESS, msg.SetPayload(&event, sizeof(event)));
    KorvelEndpointEvent gotEvent{};
    EXPECT_EQ(KORVEL_STATUS_SUCCESS, msg.ReadPayload(gotEvent));
    EXPECT_EQ(2u, gotEvent.kind);
    EXPECT_EQ(5u, gotEvent.value);
    // The same 16 bytes are too long for the 12-byte selection.
    EXPECT_EQ(KORVEL_STATUS_INVALID_LENGTH, msg.ReadPayload(got));
}
