// The simulator's side of the device link: frame checks, fixed lengths,
// version, client types and device binding, through raw pipe frames.
#include "SimCoreFixture.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelRecords.h"
#include "KorvelStatus.h"
#include "SimFrame.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

constexpr uint32_t UNKNOWN_DRIVER_CODE = 0x80882008;    // function 0x802: not assigned
constexpr uint32_t UNKNOWN_MESSAGING_CODE = 0x8088204C; // function 0x813: not assigned
constexpr uint32_t FOREIGN_CODE = 0x00220004;           // another device type

} // namespace

TEST(SimFrameTest, RefusesShortMismatchedAndOversizedFrames)
{
    std::vector<uint8_t> good = SimTestLink::Frame(IOCTL_KORVEL_GET_VERSION, "abcd", 4, 24);
    SimFrame frame;
    EXPECT_EQ(frame.Parse(good.data(), good.size(), false), 0u);
    EXPECT_EQ(frame.InLength(), 4u);
    EXPECT_EQ(std::memcmp(frame.In(), "abcd", 4), 0);

    EXPECT_EQ(frame.Parse(good.data(), 11, false), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(frame.Parse(good.data(), good.size() - 1, false), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(frame.In(), nullptr);
    EXPECT_EQ(frame.Parse(good.data(), good.size(), true), KORVEL_STATUS_INVALID_PARAMETER);

    // An input length that wraps when the header is added must not pass.
    std::vector<uint8_t> wrap = SimTestLink::Frame(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 0);
    uint32_t huge = 0xFFFFFFF4u;
    std::memcpy(wrap.data() + 4, &huge, 4);
    EXPECT_EQ(frame.Parse(wrap.data(), wrap.size(), false), KORVEL_STATUS_INVALID_PARAMETER);

    std::vector<uint8_t> big =
        SimTestLink::Frame(IOCTL_KORVEL_GET_VERSION, nullptr, 0, SimFrame::MAX_OUT_CAPACITY + 1);
    EXPECT_EQ(frame.Parse(big.data(), big.size(), false), KORVEL_STATUS_INVALID_PARAMETER);
    big = SimTestLink::Frame(IOCTL_KORVEL_GET_VERSION, nullptr, 0, SimFrame::MAX_OUT_CAPACITY);
    EXPECT_EQ(frame.Parse(big.data(), big.size(), false), 0u);
}

TEST(SimFrameTest, AnswerNeverCarriesMoreThanTheCapacity)
{
    uint8_t out[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::vector<uint8_t> answer;
    SimFrame::BuildAnswer(0, out, 16, 4, answer);
    ASSERT_EQ(answer.size(), 12u);
    uint32_t count = 0;
    std::memcpy(&count, answer.data() + 4, 4);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(answer[8], 1);
    EXPECT_EQ(answer[11], 4);
}

using SimLinkTest = SimCoreFixture;

TEST_F(SimLinkTest, MalformedFramesGetAStatusAndTheConnectionStaysUsable)
{
    SimTestLink link;
    OpenLink(link);

    SimTestAnswer answer = link.Raw({1, 2, 3, 4, 5});
    EXPECT_EQ(answer.transport, 0u);
    EXPECT_EQ(answer.status, KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(answer.bytesReturned, 0u);
    EXPECT_TRUE(answer.out.empty());

    std::vector<uint8_t> lying = SimTestLink::Frame(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24);
    lying[4] = 8; // says 8 input bytes, carries none
    EXPECT_EQ(link.Raw(lying).status, KORVEL_STATUS_INVALID_PARAMETER);

    std::vector<uint8_t> oversized(KORVEL_LINK_MAX_FRAME + 100, 0);
    std::vector<uint8_t> header = SimTestLink::Frame(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24);
    uint32_t inLength = static_cast<uint32_t>(oversized.size() - 12);
    std::memcpy(oversized.data(), header.data(), 12);
    std::memcpy(oversized.data() + 4, &inLength, 4);
    answer = link.Raw(oversized);
    EXPECT_EQ(answer.status, KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(answer.bytesReturned, 0u);

    EXPECT_EQ(link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 0x20000).status,
              KORVEL_STATUS_INVALID_PARAMETER);

    // After all of that the same connection still answers normally.
    answer = link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24);
    EXPECT_EQ(answer.status, 0u);
    EXPECT_EQ(answer.bytesReturned, 24u);
}

TEST_F(SimLinkTest, UnknownCodesAndWrongLengthsAreRefused)
{
    SimTestLink link;
    OpenLink(link);
    EXPECT_EQ(link.Request(UNKNOWN_DRIVER_CODE, nullptr, 0, 0).status, KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(link.Request(UNKNOWN_MESSAGING_CODE, nullptr, 0, 0).status,
              KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(link.Request(FOREIGN_CODE, nullptr, 0, 0).status, KORVEL_STATUS_INVALID_IOCTL);

    uint32_t word = 0;
    uint8_t registration[16] = {};
    struct Case
    {
        uint32_t code;
        uint32_t in;
        uint32_t out;
        uint32_t status;
    } cases[] = {
        {IOCTL_KORVEL_GET_VERSION, 4, 24, KORVEL_STATUS_INVALID_INBUFFER_SIZE},
        {IOCTL_KORVEL_GET_VERSION, 0, 20, KORVEL_STATUS_INVALID_OUTBUFFER_SIZE},
        {IOCTL_KORVEL_GET_VERSION, 0, 28, KORVEL_STATUS_INVALID_OUTBUFFER_SIZE},
        {IOCTL_KORVEL_RECEIVE_MESSAGE, 0, 543, KORVEL_STATUS_INVALID_OUTBUFFER_SIZE},
        {IOCTL_KORVEL_RECEIVE_NOTIFICATION, 4, 544, KORVEL_STATUS_INVALID_INBUFFER_SIZE},
        {IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, 8, 0, KORVEL_STATUS_INVALID_INBUFFER_SIZE},
        {IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, 16, 4, KORVEL_STATUS_INVALID_OUTBUFFER_SIZE},
        {IOCTL_KORVEL_SET_CLIENT_TYPE, 2, 0, KORVEL_STATUS_INVALID_INBUFFER_SIZE},
        {IOCTL_KORVEL_OPEN_DEVICE, 4, 0, KORVEL_STATUS_INVALID_INBUFFER_SIZE},
        {IOCTL_KORVEL_SEND_MESSAGE, 16, 0, KORVEL_STATUS_INVALID_INBUFFER_SIZE},
    };
    for (const Case& c : cases) {
        const void* in = c.in == 16 ? static_cast<const void*>(registration) : &word;
        SimTestAnswer answer = link.Request(c.code, c.in != 0 ? in : nullptr, c.in, c.out);
        EXPECT_EQ(answer.status, c.status)
            << std::hex << c.code << " in " << c.in << " out " << c.out;
        EXPECT_EQ(answer.bytesReturned, 0u);
    }
}

TEST_F(SimLinkTest, VersionFollowsTheControlSettings)
{
    SimTestLink link;
    OpenLink(link, true);
    SimTestAnswer answer = link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24);
    ASSERT_EQ(answer.status, 0u);
    ASSERT_EQ(answer.out.size(), 24u);
    EXPECT_EQ(Word(answer.out, 0), 2u);
    EXPECT_EQ(Word(answer.out, 20) & KORVEL_BUILD_FLAG_DEBUG, 0u);

    EXPECT_EQ(m_sim.Control("version 3 1").rfind("OK", 0), 0u);
    EXPECT_EQ(m_sim.Control("debug 1").rfind("OK", 0), 0u);
    answer = link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24);
    EXPECT_EQ(Word(answer.out, 0), 3u);
    EXPECT_EQ(Word(answer.out, 4), 1u);
    EXPECT_EQ(Word(answer.out, 20) & KORVEL_BUILD_FLAG_DEBUG, KORVEL_BUILD_FLAG_DEBUG);

    EXPECT_EQ(m_sim.Control("version 3").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_sim.Control("debug 2").rfind("ERR", 0), 0u);
}

TEST_F(SimLinkTest, OneServerAtATimeAndTheSlotIsFreedOnClose)
{
    SimTestLink first;
    SimTestLink second;
    OpenLink(first);
    OpenLink(second);
    EXPECT_EQ(first.SetClientType(KORVEL_CLIENT_SERVER), 0u);
    EXPECT_EQ(second.SetClientType(KORVEL_CLIENT_SERVER), KORVEL_STATUS_ALREADY_DONE);
    EXPECT_EQ(first.SetClientType(KORVEL_CLIENT_PANEL), KORVEL_STATUS_ALREADY_DONE);
    EXPECT_EQ(second.SetClientType(5), KORVEL_STATUS_INVALID_TYPE);

    first.Close();
    ASSERT_TRUE(WaitForStats("connections=1 server=-"));
    EXPECT_EQ(second.SetClientType(KORVEL_CLIENT_SERVER), 0u);
    // A refused declaration left the connection undeclared; the accepted one is final.
    EXPECT_EQ(second.SetClientType(KORVEL_CLIENT_SERVER), KORVEL_STATUS_ALREADY_DONE);
}

TEST_F(SimLinkTest, DeviceBindingSplitsDriverAndDeviceCodes)
{
    ASSERT_EQ(StartSim(SimServerOptions{L"", 1, L"", L""}), 0u);
    SimTestLink driver;
    OpenLink(driver);
    KorvelDeviceKey key{};
    ASSERT_NO_FATAL_FAILURE(FirstDeviceKey(driver, key));

    KorvelDeviceKey unknown{key.word0 ^ 0x5A5A5A5Au, key.word1 ^ 0xA5A5A5A5u};
    EXPECT_EQ(driver.Request(IOCTL_KORVEL_OPEN_DEVICE, &unknown, 8, 0).status,
              KORVEL_STATUS_NO_DEVICE);
    // A driver handle refuses device-level codes.
    EXPECT_EQ(driver.Request(IOCTL_KORVEL_GET_VOLUME_BYPASS, nullptr, 0, 1).status,
              KORVEL_STATUS_INVALID_IOCTL);

    SimTestLink device;
    OpenLink(device);
    ASSERT_EQ(device.Request(IOCTL_KORVEL_OPEN_DEVICE, &key, 8, 0).status, 0u);
    EXPECT_EQ(device.Request(IOCTL_KORVEL_OPEN_DEVICE, &key, 8, 0).status,
              KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(device.SetClientType(KORVEL_CLIENT_PANEL), KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(device.SendMsg(KORVEL_MSG_TYPE_NOTIFICATION, 3001, 0, nullptr, 0),
              KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(
        device.Request(IOCTL_KORVEL_GET_DEVICE_LIST, nullptr, 0, sizeof(KorvelDeviceList)).status,
        KORVEL_STATUS_INVALID_IOCTL);
    EXPECT_EQ(device.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24).status, 0u);
    // The device-level code reaches the model on the bound handle.
    SimTestAnswer bypass = device.Request(IOCTL_KORVEL_GET_VOLUME_BYPASS, nullptr, 0, 1);
    EXPECT_EQ(bypass.status, 0u);
    EXPECT_EQ(bypass.bytesReturned, 1u);
}

TEST_F(SimLinkTest, SecondSimulatorOnTheSameNamespaceIsRefused)
{
    SimServer other;
    SimServerOptions options;
    options.nameSpace = m_ns;
    EXPECT_EQ(other.Start(options), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(other.IsRunning());
    options.nameSpace = L"";
    EXPECT_EQ(other.Start(options), static_cast<uint32_t>(ERROR_INVALID_NAME));
    EXPECT_EQ(m_sim.Start(options), KORVEL_STATUS_REJECTED);
}

TEST_F(SimLinkTest, ManyClientsAtOnceAreAllServedAndCleanedUp)
{
    constexpr int CLIENTS = 16;
    std::atomic<int> served{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < CLIENTS; ++i) {
        clients.emplace_back([this, &served, i] {
            SimTestLink link;
            if (link.Open(m_ns, i % 2 ? KORVEL_ASIO_CONTROL_DEVICE_NAME
                                      : KORVEL_CONTROL_DEVICE_NAME) != 0) {
                return;
            }
            for (int request = 0; request < 20; ++request) {
                if (link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24).status != 0) {
                    return;
                }
            }
            ++served;
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(served.load(), CLIENTS);
    EXPECT_TRUE(WaitForStats("connections=0 "));
}

// Every code's lengths are checked exactly, output room included, the same
// way on both kinds of handle; an ASIO code on the panel/service control
// device is an invalid request whatever its lengths.
TEST_F(SimLinkTest, EveryCodeChecksItsLengthsExactly)
{
    ASSERT_EQ(StartSim(SimServerOptions{L"", 1, L"", L""}), 0u);
    SimTestLink driver;
    OpenLink(driver);
    KorvelDeviceKey key{};
    ASSERT_NO_FATAL_FAILURE(FirstDeviceKey(driver, key));
    SimTestLink device;
    OpenLink(device);
    ASSERT_EQ(device.Request(IOCTL_KORVEL_OPEN_DEVICE, &key, 8, 0).status, 0u);

    constexpr uint32_t IN_SIZE = KORVEL_STATUS_INVALID_INBUFFER_SIZE;
    constexpr uint32_t OUT_SIZE = KORVEL_STATUS_INVALID_OUTBUFFER_SIZE;
    struct Case
    {
        bool onDevice;
        uint32_t code, in, out, status;
    };
    const Case cases[] = {
        {false, IOCTL_KORVEL_GET_DEVICE_LIST, 0, 4096, OUT_SIZE},
        {false, IOCTL_KORVEL_GET_STREAMING_STATE, 0, 40, OUT_SIZE},
        {false, IOCTL_KORVEL_GET_VERSION, 0, 25, OUT_SIZE},
        {false, IOCTL_KORVEL_RECEIVE_NOTIFICATION, 0, 600, OUT_SIZE},
        {false, IOCTL_KORVEL_SET_CLIENT_TYPE, 4, 4, OUT_SIZE},
        {false, IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, 17, 4, IN_SIZE}, // input checked first
        {false, IOCTL_KORVEL_ASIO_GET_LATENCIES, 0, 8, KORVEL_STATUS_INVALID_IOCTL},
        {true, IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, 16, 20, OUT_SIZE},
        {true, IOCTL_KORVEL_GET_VOLUME_BYPASS, 0, 4, OUT_SIZE},
        {true, IOCTL_KORVEL_SET_ECHO, 519, 0, IN_SIZE},
        // Arrays come back in place: the output room is the input's length.
        {true, IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, 16, 24, OUT_SIZE},
        {true, IOCTL_KORVEL_GET_MIXER_PINS, 4, 26 * 4 + 2, OUT_SIZE},
        {true, IOCTL_KORVEL_GET_MIXER_PINS, 4, 26 * 4, 0},
    };
    uint8_t input[600] = {};
    for (const Case& c : cases) {
        SimTestLink& link = c.onDevice ? device : driver;
        EXPECT_EQ(link.Request(c.code, input, c.in, c.out).status, c.status)
            << std::hex << c.code << " in=" << std::dec << c.in << " out=" << c.out;
    }
}
