#include "AsioScriptedFixture.h"

#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"

#include <cstring>

namespace {

template <class T> std::vector<uint8_t> Bytes(const T& record)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(bytes, bytes + sizeof(T));
}

template <class T> T Record(const std::vector<uint8_t>& bytes)
{
    T record{};
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof(T)));
    return record;
}

bool IsBufferRequest(uint32_t code)
{
    switch (code) {
    case IOCTL_KORVEL_ASIO_ENABLE_CHANNEL:
    case IOCTL_KORVEL_ASIO_DISABLE_CHANNEL:
    case IOCTL_KORVEL_ASIO_CREATE_BUFFERS:
    case IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS:
    case IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER:
    case IOCTL_KORVEL_ASIO_START:
    case IOCTL_KORVEL_ASIO_STOP:
        return true;
    default:
        return false;
    }
}

} // namespace

void AsioScriptedFixture::SetUp()
{
    nameSpace = ScriptedPipeServer::UniqueNamespace();
    ASSERT_TRUE(SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nameSpace.c_str()));
    server = std::make_unique<ScriptedPipeServer>(nameSpace, KORVEL_ASIO_CONTROL_DEVICE_NAME);
    ASSERT_TRUE(server->Start());
    KorvelStreamingState state{};
    state.state = KORVEL_STREAMING_STATE_RUNNING;
    server->SetOutput(IOCTL_KORVEL_GET_STREAMING_STATE, Bytes(state));
    SetStreamConfig(48000, 256);
    SetChannels(4, KORVEL_ASIO_DIRECTION_OUTPUT, KORVEL_ASIO_FORMAT_PCM32);
}

void AsioScriptedFixture::TearDown()
{
    server.reset();
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}

void AsioScriptedFixture::SetChannels(uint32_t count, uint32_t direction, uint32_t format)
{
    KorvelAsioChannelList list{};
    list.tables[1].count = count;
    for (uint32_t i = 0; i < count; ++i) {
        list.tables[1].keys[i] = KorvelChannelKey{0x100 + i, 7};
    }
    server->SetOutput(IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST, Bytes(list));
    // Every key gets the same description: the identifiers the driver sends
    // back come from here.
    KorvelAsioChannelInfo info{};
    info.id = KorvelChannelKey{0x42, 7};
    info.direction = direction;
    info.format = format;
    std::wcscpy(info.name, L"Scripted");
    server->SetOutput(IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO, Bytes(info));
}

void AsioScriptedFixture::SetStreamConfig(uint32_t currentRate, uint32_t bufferSize)
{
    KorvelAsioStreamConfig config{};
    config.currentRate = currentRate;
    config.rateCount = 3;
    config.rates[0] = 44100;
    config.rates[1] = 48000;
    config.rates[2] = 2822400;
    config.bufferSize = bufferSize;
    server->SetOutput(IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG, Bytes(config));
}

AsioDriverPtr AsioScriptedFixture::InitDriver()
{
    AsioDriverPtr driver = NewAsioDriver();
    EXPECT_EQ(driver->init(nullptr), ASIOTrue);
    return driver;
}

std::vector<ScriptedPipeServer::Call> AsioScriptedFixture::CallsOf(uint32_t code) const
{
    std::vector<ScriptedPipeServer::Call> found;
    for (const auto& call : server->Calls()) {
        if (call.code == code) {
            found.push_back(call);
        }
    }
    return found;
}

KorvelAsioBufferSetup AsioScriptedFixture::BufferSetup() const
{
    auto calls = CallsOf(IOCTL_KORVEL_ASIO_CREATE_BUFFERS);
    return calls.empty() ? KorvelAsioBufferSetup{} : Record<KorvelAsioBufferSetup>(calls.back().in);
}

std::vector<KorvelAsioChannelBuffer> AsioScriptedFixture::ChannelBuffers() const
{
    std::vector<KorvelAsioChannelBuffer> buffers;
    for (const auto& call : CallsOf(IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER)) {
        buffers.push_back(Record<KorvelAsioChannelBuffer>(call.in));
    }
    return buffers;
}

std::vector<uint32_t> AsioScriptedFixture::BufferRequestCodes() const
{
    std::vector<uint32_t> codes;
    for (const auto& call : server->Calls()) {
        if (IsBufferRequest(call.code)) {
            codes.push_back(call.code);
        }
    }
    return codes;
}

void AsioScriptedFixture::Signal(uint32_t index)
{
    const KorvelAsioBufferSetup setup = BufferSetup();
    auto* block = reinterpret_cast<volatile KorvelAsioSharedBlock*>(
        static_cast<uintptr_t>(setup.sharedBlock));
    ASSERT_NE(block, nullptr) << "no CREATE_BUFFERS seen";
    block->bufferIndex = index;
    ASSERT_TRUE(SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(setup.bufferEvent))));
}

void AsioScriptedFixture::Notify(uint32_t code)
{
    // The driver's connection is the one that declared itself an ASIO client.
    uint32_t connection = 0;
    for (const auto& call : CallsOf(IOCTL_KORVEL_SET_CLIENT_TYPE)) {
        connection = call.connection;
    }
    ASSERT_NE(connection, 0u) << "no ASIO client connected";
    KorvelMessage message;
    message.Init(KORVEL_MSG_TYPE_NOTIFICATION, code);
    server->QueueNotification(connection, message, true);
}
