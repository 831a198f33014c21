// Request/reply exchanges of the client object, against the scripted pipe
// server, which plays the kernel driver and the service at once.
#include "KorvelClient.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "ScriptedPanelTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

class TestClient : public KorvelClient
{
public:
    using KorvelClient::SetLastSequenceNumber;
};

KorvelMessage Reply(const KorvelMessage& request, uint32_t result, uint32_t code = KORVEL_MSG_REPLY)
{
    KorvelMessage reply;
    reply.InitReply(request, result);
    reply.code = code;
    return reply;
}

using ClientTest = ScriptedPanelTest<TestClient>;

} // namespace

TEST_F(ClientTest, SequenceNumbersWrapToOneAndNeverZero)
{
    m_client.SetLastSequenceNumber(0xFFFFFFFEu);
    EXPECT_EQ(m_client.SetSampleRate(48000), 0u);
    EXPECT_EQ(m_client.SetSampleRate(48000), 0u);
    EXPECT_EQ(m_client.SetSampleRate(48000), 0u);
    const auto sequences = m_server->RequestSequences();
    ASSERT_EQ(sequences.size(), 3u);
    EXPECT_EQ(sequences[0], 0xFFFFFFFFu);
    EXPECT_EQ(sequences[1], 1u);
    EXPECT_EQ(sequences[2], 2u);
    EXPECT_EQ(m_client.LastSequenceNumber(), 2u);
}

TEST_F(ClientTest, ResultComesFromTheReplyAndOtherCodesAreUnexpected)
{
    m_server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
        m_server->QueueMessage(connection, Reply(request, KORVEL_STATUS_SOUND_DEVICE_IN_USE), true);
    });
    EXPECT_EQ(m_client.SetSampleRate(44100), KORVEL_STATUS_SOUND_DEVICE_IN_USE);

    m_server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
        m_server->QueueMessage(connection, Reply(request, 0, 2002), true);
    });
    EXPECT_EQ(m_client.SetSampleRate(44100), KORVEL_STATUS_UNEXPECTED_MSG_CODE);

    // A failed send is the result, and nothing is waited for.
    m_server->FailNext(IOCTL_KORVEL_SEND_MESSAGE, KORVEL_STATUS_NO_SERVER);
    EXPECT_EQ(m_client.SetPolicy(1), KORVEL_STATUS_NO_SERVER);
    // A failed receive other than an empty queue ends the exchange.
    m_server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
        m_server->FailNext(IOCTL_KORVEL_RECEIVE_MESSAGE, KORVEL_STATUS_INTERNAL_ERROR);
        m_server->QueueMessage(connection, Reply(request, 0), true);
    });
    EXPECT_EQ(m_client.SetPolicy(1), KORVEL_STATUS_INTERNAL_ERROR);
}

TEST_F(ClientTest, RequestPayloadsAreSentAsRecorded)
{
    KorvelBufferSizesSetting sizes{2, 1, 0xABCD};
    EXPECT_EQ(m_client.SetBufferSizes(sizes), 0u);
    EXPECT_EQ(m_client.SelectStreamingDevice(5, 6, false), 0u);
    EXPECT_EQ(m_client.SelectStreamingDevice(5, 6, true), 0u);
    EXPECT_EQ(m_client.SetDsdMode(1), 0u);

    std::vector<std::vector<uint8_t>> sent;
    for (const auto& call : m_server->Calls()) {
        if (call.code == IOCTL_KORVEL_SEND_MESSAGE) {
            sent.push_back(call.in);
        }
    }
    ASSERT_EQ(sent.size(), 4u);
    auto words = [](const std::vector<uint8_t>& in, size_t n) {
        std::vector<uint32_t> w(n);
        std::memcpy(w.data(), in.data() + 32, n * 4);
        return w;
    };
    EXPECT_EQ(sent[0].size(), 44u);
    EXPECT_EQ(words(sent[0], 3), (std::vector<uint32_t>{2, 1, 0xABCD}));
    EXPECT_EQ(words(sent[1], 3), (std::vector<uint32_t>{0, 5, 6}));
    EXPECT_EQ(words(sent[2], 3), (std::vector<uint32_t>{1, 5, 6}));
    EXPECT_EQ(sent[3].size(), 33u);
    EXPECT_EQ(sent[3][32], 1u);
}

// One wake-up of the auto-reset message event can stand for several queued
// messages: a foreign reply ahead of the own one must not hide it.
TEST_F(ClientTest, ForeignRepliesAreDroppedWithoutLosingTheOwnReply)
{
    m_server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
        KorvelMessage foreign = Reply(request, KORVEL_STATUS_FAILED);
        foreign.sequence = request.sequence + 1000;
        KorvelMessage notAReply;
        notAReply.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_POLICY);
        notAReply.sequence = request.sequence;
        m_server->QueueMessage(connection, foreign, false);
        m_server->QueueMessage(connection, notAReply, false);
        m_server->QueueMessage(connection, Reply(request, KORVEL_STATUS_INVALID_SAMPLE_RATE), true);
    });
    EXPECT_EQ(m_client.SetSampleRate(12345, 2000), KORVEL_STATUS_INVALID_SAMPLE_RATE);

    // A foreign reply that wakes the client alone, the own one later.
    m_server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
        KorvelMessage foreign = Reply(request, KORVEL_STATUS_FAILED);
        foreign.sequence = request.sequence - 1;
        m_server->QueueMessage(connection, foreign, true);
        std::thread([this, connection, request] {
            Sleep(50);
            m_server->QueueMessage(connection, Reply(request, 0), true);
        }).detach();
    });
    EXPECT_EQ(m_client.SetSampleRate(48000, 2000), 0u);
    Sleep(100); // let the detached thread finish before the server goes
}

TEST_F(ClientTest, ConnectionWithoutMessageEventFailsWithoutSending)
{
    TestClient view;
    ASSERT_EQ(view.OpenPanelView(KORVEL_CONTROL_DEVICE_NAME), 0u);
    const size_t before = m_server->CountCalls(IOCTL_KORVEL_SEND_MESSAGE);
    EXPECT_EQ(view.SetSampleRate(48000, 100), KORVEL_STATUS_FAILED);
    EXPECT_EQ(m_server->CountCalls(IOCTL_KORVEL_SEND_MESSAGE), before);
    view.CloseAll();
    EXPECT_EQ(view.SetSampleRate(48000, 100), KORVEL_STATUS_NOT_OPENED);
}

namespace {

std::vector<uint8_t> RecordBytes(const KorvelMessage& message, size_t length = sizeof(KorvelMessage))
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&message);
    return std::vector<uint8_t>(bytes, bytes + length);
}

} // namespace

// A peer that answers every receive with success but no whole record, or
// with messages that are never the reply, must not keep the exchange (and
// the connection's lock) past its time limit.
TEST_F(ClientTest, BrokenOrEndlessReceivesEndTheExchange)
{
    m_server->SetOutput(IOCTL_KORVEL_RECEIVE_MESSAGE, {});
    EXPECT_EQ(m_client.SetSampleRate(48000, 300), KORVEL_STATUS_INVALID_MSG_SIZE);

    KorvelMessage half;
    half.Init(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY);
    m_server->SetOutput(IOCTL_KORVEL_RECEIVE_MESSAGE, RecordBytes(half, 32));
    EXPECT_EQ(m_client.SetSampleRate(48000, 300), KORVEL_STATUS_INVALID_MSG_SIZE);
    KorvelMessage longPayload = half;
    longPayload.payloadLength = 513;
    m_server->SetOutput(IOCTL_KORVEL_RECEIVE_MESSAGE, RecordBytes(longPayload));
    EXPECT_EQ(m_client.SetSampleRate(48000, 300), KORVEL_STATUS_INVALID_MSG_SIZE);

    KorvelMessage other;
    other.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_SETTINGS_CHANGED);
    m_server->SetOutput(IOCTL_KORVEL_RECEIVE_MESSAGE, RecordBytes(other));
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(m_client.SetSampleRate(48000, 300), KORVEL_STATUS_TIMEOUT);
    EXPECT_LT(GetTickCount64() - started, 2900u) << "the drain ran past the exchange's limit";
}
