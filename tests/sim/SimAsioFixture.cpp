#include "SimAsioFixture.h"

#include "KorvelMixerRecords.h"

#include <cstdlib>

void SimAsioFixture::SetUp()
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    ASSERT_TRUE(model.Streaming().ForceState(KORVEL_STREAMING_STATE_RUNNING));
    m_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(m_event, nullptr);
    ASSERT_NE(m_block.address, nullptr);
}

void SimAsioFixture::TearDown()
{
    // The connection goes away before the memory it streams from.
    model.OnConnectionClosed(CONNECTION, m_clientPid);
    CloseHandle(m_event);
}

uint32_t SimAsioFixture::Asio(uint32_t code, const void* in, uint32_t inLength)
{
    std::vector<uint8_t> input(static_cast<const uint8_t*>(in),
                               static_cast<const uint8_t*>(in) + (in ? inLength : 0));
    SimRequest r;
    r.connection = CONNECTION;
    r.processId = m_clientPid;
    r.clientType = KORVEL_CLIENT_ASIO;
    r.asioDevice = true;
    r.code = code;
    r.in = input.empty() ? nullptr : input.data();
    r.inLength = inLength;
    return model.HandleDriverRequest(r);
}

uint32_t SimAsioFixture::Create(uint32_t frames, uint64_t block, uint64_t event)
{
    KorvelAsioBufferSetup setup{block, event, frames};
    return Asio(IOCTL_KORVEL_ASIO_CREATE_BUFFERS, &setup, sizeof setup);
}

uint32_t SimAsioFixture::SetBuffer(KorvelChannelKey key, uint64_t address, uint32_t halfBytes,
                                   uint32_t formatWord)
{
    KorvelAsioChannelBuffer buffer{key, halfBytes, formatWord, address};
    return Asio(IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER, &buffer, sizeof buffer);
}

int32_t* SimAsioFixture::AddPcmChannel(KorvelChannelKey key, uint32_t frames)
{
    m_buffers.push_back(std::make_unique<Memory>(size_t{frames} * 8));
    Memory& memory = *m_buffers.back();
    EXPECT_EQ(Enable(key), 0u);
    EXPECT_EQ(SetBuffer(key, memory.Value(), frames * 4), 0u);
    return static_cast<int32_t*>(memory.address);
}

KorvelChannelKey SimAsioFixture::Key(uint32_t direction, uint32_t index)
{
    return model.Devices().At(0)->ChannelKey(direction, index);
}

bool SimAsioFixture::WaitSignal(uint32_t& half, DWORD timeoutMs)
{
    if (WaitForSingleObject(m_event, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    half = Block().bufferIndex;
    return true;
}

std::string SimAsioFixture::DumpValue(const std::string& prefix)
{
    for (const std::string& line : model.DumpLines()) {
        if (line.rfind(prefix, 0) == 0) {
            return line.substr(prefix.size());
        }
    }
    return "(no " + prefix + " line)";
}

uint64_t SimAsioFixture::StreamField(const std::string& name)
{
    std::string line = " " + StreamLine();
    size_t at = line.find(" " + name + "=");
    return at == std::string::npos ? UINT64_MAX
                                   : std::strtoull(line.c_str() + at + name.size() + 2, nullptr, 10);
}

uint32_t SimAsioFixture::AsioErrorCount()
{
    return DriverGet<KorvelStatusCounters>(IOCTL_KORVEL_GET_STATUS_COUNTERS).asioErrors;
}

int16_t SimAsioFixture::InputLevel(KorvelMixerPin pin)
{
    KorvelMixerLevel level{pin, 0, 0};
    Answer answer = Device(0, IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS, &level, 8, 8);
    EXPECT_EQ(answer.status, 0u);
    return As<KorvelMixerLevel>(answer).level;
}

std::string SimAsioFixture::TempPath(const std::string& name)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "simasio-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}
