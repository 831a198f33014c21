// The connection and its device link, against the scripted pipe server.
#include "KorvelApiContext.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelProductKey.h"
#include "KorvelStatus.h"
#include "ScriptedLinkTest.h"
#include "WnRegistryKey.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> Frame(uint32_t status, uint32_t bytesReturned, size_t extraBytes)
{
    std::vector<uint8_t> frame(8 + extraBytes, 0xAB);
    std::memcpy(frame.data(), &status, 4);
    std::memcpy(frame.data() + 4, &bytesReturned, 4);
    return frame;
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

using ApiContextTest = ScriptedLinkTest;

} // namespace

TEST_F(ApiContextTest, LongNamesAreCutToA299CharacterPath)
{
    std::wstring longName(400, L'x');
    for (size_t i = 0; i < longName.size(); ++i) {
        longName[i] = static_cast<wchar_t>(L'a' + i % 26);
    }
    wchar_t path[KorvelDeviceLink::PATH_CHARS];
    KorvelDeviceLink::FormatControlPath(longName.c_str(), path);
    EXPECT_EQ(std::wstring(path), L"\\\\.\\" + longName.substr(0, 295));
    KorvelDeviceLink::FormatControlPath(longName.substr(0, 295).c_str(), path);
    EXPECT_EQ(std::wstring(path).size(), 299u);
    wchar_t pipePath[KorvelDeviceLink::PIPE_PATH_CHARS];
    ASSERT_TRUE(KorvelDeviceLink::FormatPipePath(L"ns", path, pipePath));
    EXPECT_EQ(std::wstring(pipePath), L"\\\\.\\pipe\\ns\\" + longName.substr(0, 295));

    // The pipe a connection reaches is named after the control path.
    auto server = StartServer(longName.substr(0, 200));
    ASSERT_NE(server, nullptr);
    KorvelApiContext context;
    EXPECT_EQ(context.Open(longName.substr(0, 200).c_str()), 0u);
    EXPECT_EQ(server->ConnectionsAccepted(), 1u);
    // A pipe name holds at most 256 characters: a cut 299-character path
    // cannot be served through the simulator link and fails cleanly.
    KorvelApiContext tooLong;
    EXPECT_NE(tooLong.Open(longName.c_str()), 0u);
    EXPECT_FALSE(tooLong.IsOpen());
}

// Each request operation sends its control code with the interface's fixed
// lengths; input records are built from the arguments alone.
TEST_F(ApiContextTest, RequestOperationsSendFixedLengthsAndCleanInputs)
{
    KorvelApiContext c;
    ASSERT_EQ(c.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);

    struct Expected
    {
        uint32_t code;
        size_t in;
        uint32_t out;
    };
    std::vector<Expected> expected;
    KorvelMessage message;
    message.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_POLICY);
    uint32_t policyWord = 1;
    ASSERT_EQ(message.SetPayload(&policyWord, 4), 0u);
    c.SendMsg(message);
    expected.push_back({IOCTL_KORVEL_SEND_MESSAGE, 36, 0});
    message.Init(KORVEL_MSG_TYPE_NOTIFICATION, 3001);
    c.SendMsg(message);
    expected.push_back({IOCTL_KORVEL_SEND_MESSAGE, 32, 0});
    c.ReceiveMsg(message);
    expected.push_back({IOCTL_KORVEL_RECEIVE_MESSAGE, 0, 544});
    c.ReceiveNotification(message);
    expected.push_back({IOCTL_KORVEL_RECEIVE_NOTIFICATION, 0, 544});
    c.SetNotificationEvents(nullptr, nullptr);
    expected.push_back({IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, 16, 0});
    c.SetClientType(KORVEL_CLIENT_PANEL);
    expected.push_back({IOCTL_KORVEL_SET_CLIENT_TYPE, 4, 0});
    KorvelDeviceList list;
    c.GetDeviceList(list);
    expected.push_back({IOCTL_KORVEL_GET_DEVICE_LIST, 0, 1124});
    KorvelChannelList channels;
    c.GetInputChannels(channels);
    expected.push_back({IOCTL_KORVEL_GET_INPUT_CHANNELS, 0, 772});
    c.GetOutputChannels(channels);
    expected.push_back({IOCTL_KORVEL_GET_OUTPUT_CHANNELS, 0, 772});
    KorvelChannelInfo channelInfo;
    c.GetChannelInfo(1, 2, channelInfo);
    expected.push_back({IOCTL_KORVEL_GET_CHANNEL_INFO, 8, 108});
    KorvelSampleRates rates;
    c.GetSampleRates(rates);
    expected.push_back({IOCTL_KORVEL_GET_SAMPLE_RATES, 0, 56});
    KorvelBufferSizes sizes;
    c.GetBufferSizes(sizes);
    expected.push_back({IOCTL_KORVEL_GET_BUFFER_SIZES, 0, 32});
    KorvelStatusCounters counters;
    c.GetStatusCounters(counters);
    expected.push_back({IOCTL_KORVEL_GET_STATUS_COUNTERS, 0, 20});
    uint32_t policy = 0;
    c.GetPolicy(policy);
    expected.push_back({IOCTL_KORVEL_GET_POLICY, 0, 4});
    static KorvelAudioFunctions functions;
    c.GetAudioFunctions(functions);
    expected.push_back({IOCTL_KORVEL_GET_AUDIO_FUNCTIONS, 0, 3624});
    KorvelSpdifInputStatus spdif;
    std::memset(&spdif, 0xEE, sizeof(spdif));
    c.GetSpdifInputStatus(1, spdif);
    expected.push_back({IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, 16, 16});
    c.SetSpdifPassThrough(3, 4, true);
    expected.push_back({IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, 12, 0});
    bool on = false;
    c.GetSpdifPassThrough(0, 0, on);
    expected.push_back({IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH, 12, 12});
    KorvelMixerLevel levels[3] = {};
    c.GetMixerInputLevels(levels, 3);
    expected.push_back({IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS, 24, 24});
    c.GetMixerOutputLevels(levels, 2);
    expected.push_back({IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS, 16, 16});
    KorvelMixerGain gains[5] = {};
    c.GetMixerOutputGains(gains, 5);
    expected.push_back({IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, 40, 40});
    c.SetMixerOutputGains(gains, 5);
    expected.push_back({IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, 40, 40});
    KorvelMixerWeight weights[4] = {};
    c.GetMixerWeights(weights, 4);
    expected.push_back({IOCTL_KORVEL_GET_MIXER_WEIGHTS, 48, 48});
    c.SetMixerWeights(weights, 4);
    expected.push_back({IOCTL_KORVEL_SET_MIXER_WEIGHTS, 48, 48});
    c.SetVolumeBypass(1);
    expected.push_back({IOCTL_KORVEL_SET_VOLUME_BYPASS, 1, 0});
    uint8_t bypass = 1;
    c.GetVolumeBypass(bypass);
    expected.push_back({IOCTL_KORVEL_GET_VOLUME_BYPASS, 0, 1});
    c.SetBypassMute(1);
    expected.push_back({IOCTL_KORVEL_SET_BYPASS_MUTE, 1, 0});
    KorvelSavedVolume volume;
    std::memset(&volume, 0x5A, sizeof(volume));
    c.GetSavedVolume(2, 7, volume);
    expected.push_back({IOCTL_KORVEL_GET_SAVED_VOLUME, 136, 136});
    c.SaveVolume(volume);
    expected.push_back({IOCTL_KORVEL_SAVE_VOLUME, 136, 0});
    KorvelEchoRecord echo{};
    c.SetEcho(echo);
    expected.push_back({IOCTL_KORVEL_SET_ECHO, 520, 0});
    c.GetEcho(echo);
    expected.push_back({IOCTL_KORVEL_GET_ECHO, 520, 520});
    c.SetEndpointParameter(5, 6);
    expected.push_back({IOCTL_KORVEL_SET_ENDPOINT_PARAMETER, 8, 0});
    c.SetEndpointState(7, 9);
    expected.push_back({IOCTL_KORVEL_SET_ENDPOINT_STATE, 8, 0});

    auto calls = m_server->Calls();
    ASSERT_GE(calls.size(), expected.size() + 1);
    calls.erase(calls.begin()); // the version request of Open
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].code, expected[i].code);
        EXPECT_EQ(calls[i].in.size(), expected[i].in);
        EXPECT_EQ(calls[i].outCapacity, expected[i].out);
    }
    auto callOf = [&](uint32_t code) -> const std::vector<uint8_t>& {
        for (const auto& call : calls) {
            if (call.code == code) {
                return call.in;
            }
        }
        static const std::vector<uint8_t> none;
        return none;
    };
    const auto& spdifIn = callOf(IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS);
    EXPECT_EQ(WordAt(spdifIn, 0), 1u);
    EXPECT_EQ(WordAt(spdifIn, 4) | WordAt(spdifIn, 8) | WordAt(spdifIn, 12), 0u);
    const auto& passIn = callOf(IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH);
    EXPECT_EQ(WordAt(passIn, 0), 3u);
    EXPECT_EQ(WordAt(passIn, 4), 4u);
    EXPECT_EQ(WordAt(passIn, 8), 1u);
    const auto& volumeIn = callOf(IOCTL_KORVEL_GET_SAVED_VOLUME);
    EXPECT_EQ(WordAt(volumeIn, 0), 2u);
    EXPECT_EQ(WordAt(volumeIn, 4), 7u);
    EXPECT_EQ(std::vector<uint8_t>(volumeIn.begin() + 8, volumeIn.end()),
              std::vector<uint8_t>(128, 0));
    const auto& endpointIn = callOf(IOCTL_KORVEL_SET_ENDPOINT_STATE);
    EXPECT_EQ(WordAt(endpointIn, 0), 7u);
    EXPECT_EQ(WordAt(endpointIn, 4), 9u);
    EXPECT_EQ(bypass, 0u) << "cleared before the request; nothing came back";
}

TEST_F(ApiContextTest, OutputsFollowTheStatusOfTheRequest)
{
    KorvelApiContext c;
    ASSERT_EQ(c.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);

    // Pass-through: unchanged on failure, non-zero third field means on.
    bool on = true;
    m_server->FailNext(IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH, KORVEL_STATUS_OBJECT_NOT_FOUND);
    EXPECT_EQ(c.GetSpdifPassThrough(0, 0, on), KORVEL_STATUS_OBJECT_NOT_FOUND);
    EXPECT_TRUE(on);
    KorvelSpdifPassThrough reply{0, 0, 5};
    m_server->SetOutput(IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH,
                        std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&reply),
                                             reinterpret_cast<uint8_t*>(&reply) + 12));
    on = false;
    EXPECT_EQ(c.GetSpdifPassThrough(0, 0, on), 0u);
    EXPECT_TRUE(on);

    // A receive that fails leaves type and code cleared, not stale.
    KorvelMessage message;
    message.Init(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY);
    EXPECT_EQ(c.ReceiveMsg(message), KORVEL_STATUS_NO_MORE_ITEMS);
    EXPECT_EQ(message.type, 0u);
    EXPECT_EQ(message.code, 0u);

    // A message whose payload length lies beyond the record is not sent.
    message.payloadLength = KORVEL_MSG_MAX_PAYLOAD + 1;
    const size_t before = m_server->Calls().size();
    EXPECT_EQ(c.SendMsg(message), KORVEL_STATUS_INVALID_LENGTH);
    EXPECT_EQ(m_server->Calls().size(), before);

    // Bytes returned are reported also with a failure status.
    auto failing = Frame(KORVEL_STATUS_DEVICE_REMOVED, 4, 4);
    m_server->SetRawAnswer(IOCTL_KORVEL_GET_POLICY, failing);
    uint32_t policy = 0;
    DWORD bytes = 0;
    EXPECT_EQ(c.Request(IOCTL_KORVEL_GET_POLICY, nullptr, 0, &policy, 4, &bytes),
              KORVEL_STATUS_DEVICE_REMOVED);
    EXPECT_EQ(bytes, 4u);
}

TEST_F(ApiContextTest, MalformedAnswerFramesAreRefused)
{
    KorvelApiContext c;
    ASSERT_EQ(c.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);
    uint32_t policy = 0x12345678;
    DWORD bytes = 99;

    // Shorter than its header.
    m_server->SetRawAnswer(IOCTL_KORVEL_GET_POLICY, std::vector<uint8_t>(5, 0));
    EXPECT_EQ(c.Request(IOCTL_KORVEL_GET_POLICY, nullptr, 0, &policy, 4, &bytes),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(bytes, 0u);
    // Longer than its lengths say.
    m_server->SetRawAnswer(IOCTL_KORVEL_GET_POLICY, Frame(0, 2, 4));
    EXPECT_EQ(c.Request(IOCTL_KORVEL_GET_POLICY, nullptr, 0, &policy, 4, &bytes),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    // Shorter than its lengths say.
    m_server->SetRawAnswer(IOCTL_KORVEL_GET_POLICY, Frame(0, 4, 2));
    EXPECT_EQ(c.Request(IOCTL_KORVEL_GET_POLICY, nullptr, 0, &policy, 4, &bytes),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    // More bytes returned than the caller's buffer holds.
    m_server->SetRawAnswer(IOCTL_KORVEL_GET_POLICY, Frame(0, 8, 8));
    EXPECT_EQ(c.Request(IOCTL_KORVEL_GET_POLICY, nullptr, 0, &policy, 4, &bytes),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(policy, 0x12345678u) << "nothing of a refused frame reaches the caller";
    KorvelVersionInfo between{};
    EXPECT_EQ(c.GetVersion(between), 0u) << "the rest of the long answer was drained";
    // Larger than the frame limit: refused, and the link stays in step.
    m_server->SetRawAnswer(IOCTL_KORVEL_GET_POLICY,
                           Frame(0, KORVEL_LINK_MAX_FRAME, KORVEL_LINK_MAX_FRAME));
    EXPECT_EQ(c.Request(IOCTL_KORVEL_GET_POLICY, nullptr, 0, &policy, 4, &bytes),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    KorvelVersionInfo version{};
    EXPECT_EQ(c.GetVersion(version), 0u);
    EXPECT_EQ(version.interfaceMajor, 2u);
}

TEST_F(ApiContextTest, RequestBeyondTheFrameLimitIsNotSent)
{
    KorvelApiContext c;
    ASSERT_EQ(c.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);
    std::vector<uint8_t> big(KORVEL_LINK_MAX_FRAME, 0);
    const size_t before = m_server->Calls().size();
    const DWORD tooMuchIn = KORVEL_LINK_MAX_FRAME - sizeof(KorvelLinkRequestHeader) + 1;
    EXPECT_EQ(c.Request(IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES, big.data(), tooMuchIn, nullptr, 0),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    const DWORD tooMuchOut = KORVEL_LINK_MAX_FRAME - sizeof(KorvelLinkAnswerHeader) + 1;
    EXPECT_EQ(c.Request(IOCTL_KORVEL_GET_ECHO, nullptr, 0, big.data(), tooMuchOut),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(m_server->Calls().size(), before);
    // The largest frame that fits goes through.
    EXPECT_EQ(c.Request(IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES, big.data(), tooMuchIn - 1, nullptr, 0),
              0u);
}

TEST_F(ApiContextTest, TwoThreadsOnOneConnectionGetTheirOwnAnswers)
{
    KorvelApiContext c;
    ASSERT_EQ(c.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);
    std::atomic<int> mismatches{0};
    auto run = [&](uint32_t word0) {
        for (uint32_t i = 0; i < 200; ++i) {
            KorvelChannelInfo info{};
            DWORD status = c.GetChannelInfo(word0, i, info);
            if (status != 0 || info.deviceKey.word0 != word0 || info.deviceKey.word1 != i) {
                ++mismatches;
            }
        }
    };
    std::thread first(run, 1u);
    std::thread second(run, 2u);
    first.join();
    second.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// With no namespace configured the connection opens only the real device,
// even while a pipe of the right name exists; the registry value configures
// a process that does not inherit the environment.
TEST_F(ApiContextTest, OnlyAnExplicitConfigurationSelectsTheSimulator)
{
    ASSERT_TRUE(SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr));
    WnRegistryKey key;
    ASSERT_EQ(KorvelProductKey::Create(key, KEY_READ | KEY_WRITE), 0u);
    RegDeleteValueW(key.GetKey(), KORVEL_LINK_REG_VALUE);

    KorvelApiContext c;
    EXPECT_NE(c.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_FALSE(c.IsOpen());
    EXPECT_EQ(m_server->ConnectionsAccepted(), 0u);

    ASSERT_EQ(key.WriteString(KORVEL_LINK_REG_VALUE, m_nameSpace.c_str()), 0u);
    DWORD viaRegistry = c.Open(KORVEL_CONTROL_DEVICE_NAME);
    RegDeleteValueW(key.GetKey(), KORVEL_LINK_REG_VALUE);
    EXPECT_EQ(viaRegistry, 0u);
    EXPECT_EQ(m_server->ConnectionsAccepted(), 1u);
}

// The 64-bit service and the setup write the namespace in the 64-bit view; a
// 32-bit host's driver on 64-bit Windows must read it there, not from its
// redirected copy. On 32-bit Windows both views are one key, and the second
// write stands.
TEST_F(ApiContextTest, TheRegistryNamespaceIsReadFromTheSixtyFourBitView)
{
    EXPECT_EQ(KorvelProductKey::Access(KEY_QUERY_VALUE), REGSAM{KEY_QUERY_VALUE | KEY_WOW64_64KEY});
    ASSERT_TRUE(SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr));
    WnRegistryKey view32;
    WnRegistryKey view64;
    ASSERT_EQ(view32.Create(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY, KEY_WRITE | KEY_WOW64_32KEY), 0u);
    ASSERT_EQ(view64.Create(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY, KEY_WRITE | KEY_WOW64_64KEY), 0u);
    ASSERT_EQ(view32.WriteString(KORVEL_LINK_REG_VALUE, L"quillo-no-such-namespace"), 0u);
    ASSERT_EQ(view64.WriteString(KORVEL_LINK_REG_VALUE, m_nameSpace.c_str()), 0u);

    KorvelApiContext c;
    const DWORD status = c.Open(KORVEL_CONTROL_DEVICE_NAME);
    RegDeleteValueW(view32.GetKey(), KORVEL_LINK_REG_VALUE);
    RegDeleteValueW(view64.GetKey(), KORVEL_LINK_REG_VALUE);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(m_server->ConnectionsAccepted(), 1u);
}
