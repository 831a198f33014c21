// The streaming engine against a scripted kernel driver whose pacing the
// test plays itself: buffer layout and what is announced, the switches with
// their positions and time stamps, the service's notices, and the order of
// start, stop and disposal.
#include "AsioScriptedFixture.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>

namespace {

constexpr long B = 256;

ASIOBufferInfo Output(long channel)
{
    return ASIOBufferInfo{ASIOFalse, channel, {nullptr, nullptr}};
}

// The state of the pages at `address`: MEM_COMMIT, MEM_RESERVE or MEM_FREE.
DWORD PageState(const void* address)
{
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQuery(address, &info, sizeof(info)) == 0 ? 0 : info.State;
}

bool AllBytes(const void* address, size_t length, uint8_t value)
{
    const auto* bytes = static_cast<const uint8_t*>(address);
    return std::all_of(bytes, bytes + length, [value](uint8_t b) { return b == value; });
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > until) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

} // namespace

TEST_F(AsioScriptedFixture, StopWithoutStartAndASecondStart)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    EXPECT_EQ(driver->stop(), ASE_OK) << "stop without start";
    ASIOBufferInfo infos[] = {Output(0), Output(1)};
    EXPECT_EQ(driver->start(), ASE_NotPresent) << "nothing prepared";
    ASSERT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_OK);
    EXPECT_EQ(driver->stop(), ASE_OK) << "prepared, not started";
    EXPECT_EQ(driver->CurrentState(), AsioDriver::PREPARED);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), 0u);

    ASSERT_EQ(driver->start(), ASE_OK);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::RUNNING);
    EXPECT_TRUE(driver->Engine().TimerRaised());
    EXPECT_EQ(driver->start(), ASE_OK) << "a second start";
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) >= 1; }))
        << "waited for ASIO_START";
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_START), 1u) << "the second start did nothing";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), 1u) << "stop joined the thread";
    EXPECT_EQ(driver->CurrentState(), AsioDriver::PREPARED);
    EXPECT_FALSE(driver->Engine().TimerRaised());
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), 1u);
}

TEST_F(AsioScriptedFixture, PcmBuffersOf256FramesAndTheirDisposal)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0), Output(1)};
    ASSERT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_OK);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::PREPARED);

    EXPECT_EQ(BufferSetup().framesPerHalf, 256u);
    const KorvelAsioSharedBlock* block = driver->Engine().SharedBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(BufferSetup().sharedBlock, reinterpret_cast<uintptr_t>(block));
    EXPECT_EQ(block->bufferIndex | block->switchCount, 0u);
    EXPECT_NE(BufferSetup().bufferEvent, 0u);

    const auto announced = ChannelBuffers();
    ASSERT_EQ(announced.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        auto* base = static_cast<uint8_t*>(infos[i].buffers[0]);
        ASSERT_NE(base, nullptr);
        EXPECT_EQ(static_cast<uint8_t*>(infos[i].buffers[1]), base + 1024);
        EXPECT_EQ(announced[i].halfBytes, 1024u);
        EXPECT_EQ(announced[i].formatWord, 4u);
        EXPECT_EQ(announced[i].buffer, reinterpret_cast<uintptr_t>(base));
        EXPECT_EQ(announced[i].id.word0, 0x42u);
        EXPECT_EQ(PageState(base), static_cast<DWORD>(MEM_COMMIT));
        EXPECT_TRUE(AllBytes(base, 2048, 0));
    }
    EXPECT_NE(infos[0].buffers[0], infos[1].buffers[0]) << "each channel separately";
    ASIOChannelInfo info{};
    info.channel = 1;
    ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
    EXPECT_EQ(info.isActive, ASIOTrue);
    long inLatency = 0, outLatency = 0;
    driver->getLatencies(&inLatency, &outLatency);
    EXPECT_EQ(outLatency, 256);

    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::INITIALIZED);
    EXPECT_EQ(driver->Engine().SharedBlock(), nullptr);
    EXPECT_EQ(PageState(infos[0].buffers[0]), static_cast<DWORD>(MEM_FREE));
    const std::vector<uint32_t> expected = {
        IOCTL_KORVEL_ASIO_CREATE_BUFFERS,     IOCTL_KORVEL_ASIO_ENABLE_CHANNEL,
        IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER, IOCTL_KORVEL_ASIO_ENABLE_CHANNEL,
        IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER, IOCTL_KORVEL_ASIO_DISABLE_CHANNEL,
        IOCTL_KORVEL_ASIO_DISABLE_CHANNEL,    IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS};
    EXPECT_EQ(BufferRequestCodes(), expected);
    EXPECT_EQ(driver->start(), ASE_NotPresent) << "disposed";
}

TEST_F(AsioScriptedFixture, PositionsAndTimeStampsOfTheSwitches)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    host.Attach(driver.get());
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    const uint64_t before = uint64_t{timeGetTime()} * 1000000;
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(host.WaitSwitches(2)) << "waited for the two priming switches";
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }))
        << "waited for ASIO_START";
    for (uint32_t i = 0; i < 3; ++i) {
        Signal(i % 2);
        ASSERT_TRUE(host.WaitSwitches(3 + i)) << "waited for switch " << 3 + i;
    }
    const uint64_t after = uint64_t{timeGetTime()} * 1000000;
    ASSERT_TRUE(WaitUntil([&] { return driver->Engine().SharedBlock()->switchCount == 3; }))
        << "the counter counts only the switches the buffer event triggered";
    EXPECT_EQ(driver->stop(), ASE_OK);

    const auto switches = host.Switches();
    ASSERT_EQ(switches.size(), 5u);
    const long indices[] = {0, 1, 0, 1, 0};
    for (size_t i = 0; i < switches.size(); ++i) {
        EXPECT_FALSE(switches[i].timeInfo) << "a plain host gets only bufferSwitch";
        EXPECT_EQ(switches[i].index, indices[i]) << i;
        EXPECT_EQ(switches[i].position, i * B) << "the position before switch " << i;
        EXPECT_EQ(switches[i].timeNs % 1000000, 0u);
        EXPECT_GE(switches[i].timeNs + 1000000, before);
        EXPECT_LE(switches[i].timeNs, after + 1000000);
        if (i > 0) {
            EXPECT_GE(switches[i].timeNs, switches[i - 1].timeNs);
        }
    }
    ASIOSamples position{};
    ASIOTimeStamp stamp{};
    driver->getSamplePosition(&position, &stamp);
    EXPECT_EQ(position.lo, 4u * B);
    EXPECT_EQ((uint64_t{stamp.hi} << 32) | stamp.lo, switches.back().timeNs);

    // A restart begins at 0 again and primes with silence.
    static_cast<int32_t*>(infos[0].buffers[0])[5] = 77;
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(host.WaitSwitches(7));
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(host.Switches()[5].position, 0u);
    EXPECT_EQ(static_cast<int32_t*>(infos[0].buffers[0])[5], 0);
}

TEST_F(AsioScriptedFixture, ATimeInfoHostGetsOnlyTimeInfoSwitches)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(true, {});
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));
    Signal(0);
    ASSERT_TRUE(host.WaitSwitches(3)) << "waited for the first driver-triggered switch";
    EXPECT_EQ(driver->stop(), ASE_OK);
    for (const auto& entry : host.Switches()) {
        EXPECT_TRUE(entry.timeInfo);
        EXPECT_EQ(entry.flags, 15u);
        EXPECT_EQ(entry.speed, 1.0);
        EXPECT_EQ(entry.sampleRate, 48000.0);
    }
    EXPECT_EQ(host.Switches()[2].position, 2u * B);
}

TEST_F(AsioScriptedFixture, DsdBuffersOf2048Samples)
{
    SetChannels(2, KORVEL_ASIO_DIRECTION_OUTPUT, KORVEL_ASIO_FORMAT_DSD);
    AsioDriverPtr driver = InitDriver();
    SetStreamConfig(2822400, 32); // what the service has set up once asked
    ASIOIoFormat format{};
    format.FormatType = kASIODSDFormat;
    ASSERT_EQ(driver->future(kAsioSetIoFormat, &format), ASE_SUCCESS);

    AsioTestHost host(false, {});
    host.Attach(driver.get());
    ASIOBufferInfo infos[] = {Output(0), Output(1)};
    ASSERT_EQ(driver->createBuffers(infos, 2, 2048, host.Callbacks()), ASE_OK);
    EXPECT_EQ(BufferSetup().framesPerHalf, 32u);
    auto* base = static_cast<uint8_t*>(infos[0].buffers[0]);
    EXPECT_EQ(static_cast<uint8_t*>(infos[0].buffers[1]), base + 256);
    ASSERT_EQ(ChannelBuffers().size(), 2u);
    EXPECT_EQ(ChannelBuffers()[0].halfBytes, 256u);
    ASIOChannelInfo info{};
    ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
    EXPECT_EQ(info.type, ASIOSTDSDInt8MSB1);

    ASSERT_EQ(driver->start(), ASE_OK);
    EXPECT_TRUE(AllBytes(base, 512, 0x96)) << "DSD silence before the first switch";
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));
    Signal(0);
    ASSERT_TRUE(host.WaitSwitches(3));
    EXPECT_EQ(driver->stop(), ASE_OK);
    const auto switches = host.Switches();
    EXPECT_EQ(switches[0].position, 0u);
    EXPECT_EQ(switches[1].position, 2048u);
    EXPECT_EQ(switches[2].position, 4096u);
    long inLatency = 0, outLatency = 0;
    driver->getLatencies(&inLatency, &outLatency);
    EXPECT_EQ(outLatency, 32) << "in blocks, not multiplied by 64";
}

TEST_F(AsioScriptedFixture, NoticesReachTheHostAsItAcceptsThem)
{
    AsioDriverPtr driver = InitDriver();
    ASIOBufferInfo infos[] = {Output(0)};
    auto stream = [&](AsioTestHost& host) {
        ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
        ASSERT_EQ(driver->start(), ASE_OK);
        ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) >= 1; }));
    };
    auto rateIs = [&](double expected) {
        return WaitUntil([&] {
            ASIOSampleRate rate = 0;
            driver->getSampleRate(&rate);
            return rate == expected;
        });
    };
    {
        // Neither selector accepted: only the cached configuration changes.
        AsioTestHost host(false, {});
        stream(host);
        SetStreamConfig(44100, B);
        Notify(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
        ASSERT_TRUE(rateIs(44100.0)) << "waited for the configuration to be read again";
        Notify(KORVEL_NOTIFY_STREAM_START_NEEDED); // not for the host
        Signal(0);
        ASSERT_TRUE(host.WaitSwitches(3));
        EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
        EXPECT_TRUE(host.Messages().empty());
    }
    {
        AsioTestHost host(false, {kAsioResetRequest, kAsioBufferSizeChange});
        stream(host);
        // A rate notice that changes nothing the host knows is not passed on.
        Notify(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
        SetStreamConfig(48000, B);
        Notify(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
        ASSERT_TRUE(host.WaitMessages(1));
        Notify(KORVEL_NOTIFY_STREAMING_CHANGED);
        ASSERT_TRUE(host.WaitMessages(2));
        EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
        EXPECT_EQ(host.Messages(), (std::vector<long>{kAsioBufferSizeChange, kAsioResetRequest}));
        EXPECT_EQ(host.MessageValues()[0], B) << "the new buffer size rides along";
    }
    {
        AsioTestHost host(false, {kAsioResetRequest, kAsioEngineVersion});
        stream(host);
        SetStreamConfig(44100, B);
        Notify(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
        ASSERT_TRUE(host.WaitMessages(2));
        EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
        EXPECT_EQ(host.Messages(), (std::vector<long>{kAsioEngineVersion, kAsioResetRequest}));
    }
}

TEST_F(AsioScriptedFixture, TheSameChannelNamedTwiceSharesOneBuffer)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0), Output(0), Output(1)};
    ASSERT_EQ(driver->createBuffers(infos, 3, B, host.Callbacks()), ASE_OK);
    EXPECT_EQ(infos[0].buffers[0], infos[1].buffers[0]) << "the pointers the host already has";
    EXPECT_EQ(infos[0].buffers[1], infos[1].buffers[1]);
    EXPECT_EQ(PageState(infos[0].buffers[0]), static_cast<DWORD>(MEM_COMMIT));
    std::memset(infos[0].buffers[0], 0x22, 2 * B * 4); // the host writes through them
    EXPECT_EQ(ChannelBuffers().size(), 2u) << "announced once";
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(host.WaitSwitches(2));
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL), 2u);
    EXPECT_EQ(PageState(infos[0].buffers[0]), static_cast<DWORD>(MEM_FREE));
    EXPECT_EQ(PageState(infos[2].buffers[0]), static_cast<DWORD>(MEM_FREE));
}

TEST_F(AsioScriptedFixture, ARefusedChannelFailsThePreparation)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0), Output(1), Output(2)};
    for (uint32_t refused : {IOCTL_KORVEL_ASIO_ENABLE_CHANNEL, IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER}) {
        const size_t disposals = Count(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS);
        server->FailNext(refused, KORVEL_STATUS_FAILED);
        EXPECT_EQ(driver->createBuffers(infos, 3, B, host.Callbacks()), ASE_InvalidMode) << refused;
        for (const auto& info : infos) {
            EXPECT_EQ(info.buffers[0], nullptr) << "no pointer for the host to write through";
        }
        EXPECT_EQ(driver->CurrentState(), AsioDriver::INITIALIZED);
        EXPECT_FALSE(driver->Engine().HasCallbacks());
        EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), disposals + 1) << "undone";
    }
    ASSERT_EQ(driver->createBuffers(infos, 3, B, host.Callbacks()), ASE_OK);
    EXPECT_NE(infos[0].buffers[0], nullptr);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(host.WaitSwitches(2));
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    driver.reset();

    // Only DSD channels: the PCM set's two dummy outputs get buffers the
    // kernel driver never hears of.
    SetChannels(2, KORVEL_ASIO_DIRECTION_OUTPUT, KORVEL_ASIO_FORMAT_DSD);
    driver = InitDriver();
    const size_t enables = Count(IOCTL_KORVEL_ASIO_ENABLE_CHANNEL);
    const size_t handOvers = Count(IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER);
    const size_t disables = Count(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL);
    ASIOBufferInfo dummies[] = {Output(0), Output(1)};
    ASSERT_EQ(driver->createBuffers(dummies, 2, B, host.Callbacks()), ASE_OK);
    EXPECT_NE(dummies[0].buffers[0], nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(dummies[1].buffers[1]),
              static_cast<uint8_t*>(dummies[1].buffers[0]) + 1024);
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_ENABLE_CHANNEL), enables);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER), handOvers) << "none for the dummies";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL), disables) << "none for the dummies";
}

TEST_F(AsioScriptedFixture, FailedPreparationsLeaveNothingBehind)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0), Output(9)};
    EXPECT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_InvalidParameter);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::INITIALIZED);
    EXPECT_FALSE(driver->Engine().Prepared());
    EXPECT_FALSE(driver->Engine().HasCallbacks());
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL), 1u) << "the first channel undone";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), 1u);
    ASIOChannelInfo info{};
    ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
    EXPECT_EQ(info.isActive, ASIOFalse);

    server->FailNext(IOCTL_KORVEL_ASIO_CREATE_BUFFERS, KORVEL_STATUS_FAILED);
    infos[1] = Output(1);
    EXPECT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_NoMemory);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), 1u) << "nothing was announced";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_ENABLE_CHANNEL), 1u);
    EXPECT_EQ(driver->start(), ASE_NotPresent);

    // Only what getBufferSize offers (256 here) and the other sizes of its
    // table, the powers of two from 16 to 65536.
    for (long size : {37L, 1L, 8L, 100L, 257L, 131072L, 0x7FFFFFFFL}) {
        EXPECT_EQ(driver->createBuffers(infos, 2, size, host.Callbacks()), ASE_InvalidMode) << size;
    }
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_CREATE_BUFFERS), 2u) << "refused before anything is sent";
    for (long size : {16L, 128L, B}) {
        ASSERT_EQ(driver->createBuffers(infos, 2, size, host.Callbacks()), ASE_OK) << size;
        EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    }

    // A size the kernel driver offers but no half-length field holds is
    // refused, not wrapped.
    SetStreamConfig(48000, 0x40000000);
    EXPECT_EQ(driver->createBuffers(infos, 2, 0x40000000, host.Callbacks()), ASE_NoMemory);
}

TEST_F(AsioScriptedFixture, AFailedStreamStartAsksTheHostToReset)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    server->FailNext(IOCTL_KORVEL_ASIO_START, KORVEL_STATUS_INVALID_STATE);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));
    Signal(0);
    Sleep(300);
    EXPECT_EQ(host.Switches().size(), 2u) << "only the priming switches";
    EXPECT_EQ(host.Messages(), std::vector<long>{kAsioResetRequest})
        << "asked even though it did not say it accepts it: the stream will not move";
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), 0u);
    ASSERT_EQ(driver->start(), ASE_OK) << "a new start streams again";
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 2; }));
    Signal(1);
    EXPECT_TRUE(host.WaitSwitches(5)) << "the pending event and the new one";
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), 1u);
}

TEST_F(AsioScriptedFixture, AThreadThatCannotStartLeavesThePreparedState)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    driver->Engine().FailNextThreadStart(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(driver->start(), ASE_NotPresent);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::PREPARED);
    EXPECT_FALSE(driver->Engine().TimerRaised()) << "timer resolution restored";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_START), 0u);
    ASSERT_EQ(driver->start(), ASE_OK) << "the next start runs";
    EXPECT_TRUE(host.WaitSwitches(2));
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
}

TEST_F(AsioScriptedFixture, ALayoutChangeKeepsTheStreamsBuffersUntilDisposal)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0), Output(3)};
    ASSERT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));

    // The service sets the rate; afterwards the device offers two channels.
    server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
        SetStreamConfig(44100, 256);
        SetChannels(2, KORVEL_ASIO_DIRECTION_OUTPUT, KORVEL_ASIO_FORMAT_PCM32);
        KorvelMessage reply;
        reply.InitReply(request, KORVEL_STATUS_SUCCESS);
        server->QueueMessage(connection, reply, true);
    });
    ASSERT_EQ(driver->setSampleRate(44100.0), ASE_OK);
    long inputs = 0, outputs = 0;
    driver->getChannels(&inputs, &outputs);
    EXPECT_EQ(outputs, 2) << "the new layout";
    ASSERT_TRUE(host.WaitMessages(1));
    Sleep(100);
    EXPECT_EQ(host.Messages(), std::vector<long>{kAsioResetRequest}) << "asked to reset, once";
    for (const auto& info : infos) {
        EXPECT_EQ(PageState(info.buffers[0]), static_cast<DWORD>(MEM_COMMIT))
            << "still the kernel driver's to write";
        std::memset(info.buffers[0], 0x11, 2048); // the host may still write too
    }
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL), 0u);
    Signal(0);
    ASSERT_TRUE(host.WaitSwitches(3)) << "the stream goes on until the host resets";

    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    const std::vector<uint32_t> tail = {IOCTL_KORVEL_ASIO_STOP, IOCTL_KORVEL_ASIO_DISABLE_CHANNEL,
                                        IOCTL_KORVEL_ASIO_DISABLE_CHANNEL,
                                        IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS};
    const auto codes = BufferRequestCodes();
    ASSERT_GE(codes.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), codes.end() - tail.size()));
    for (const auto& info : infos) {
        EXPECT_EQ(PageState(info.buffers[0]), static_cast<DWORD>(MEM_FREE)) << "released at last";
    }
    ASIOBufferInfo again[] = {Output(1)};
    EXPECT_EQ(driver->createBuffers(again, 1, B, host.Callbacks()), ASE_OK) << "the new layout";
}

TEST_F(AsioScriptedFixture, StopInsideACallbackEndsTheStreamAfterIt)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    std::atomic<ASIOError> stopResult{-1};
    std::atomic<ASIOError> disposeResult{-1};
    std::atomic<ASIOError> startResult{-1};
    host.OnSwitch([&] {
        if (host.Switches().size() == 2) { // the first switch the kernel driver asks for
            stopResult = driver->stop();
            disposeResult = driver->disposeBuffers();
            startResult = driver->start();
        }
    });
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));
    Signal(0);
    ASSERT_TRUE(host.WaitSwitches(3));
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_STOP) == 1; }))
        << "the stream ended once the callback returned";
    EXPECT_EQ(stopResult.load(), ASE_OK);
    EXPECT_EQ(disposeResult.load(), ASE_InvalidMode) << "its buffers are in use until it returns";
    EXPECT_EQ(startResult.load(), ASE_InvalidMode) << "the same thread cannot start anew";
    EXPECT_EQ(driver->CurrentState(), AsioDriver::PREPARED);
    Signal(1);
    Sleep(100);
    EXPECT_EQ(host.Switches().size(), 3u) << "no switch after the stop";
    host.OnSwitch(nullptr);
    ASSERT_EQ(driver->start(), ASE_OK) << "the host's own thread starts again";
    EXPECT_TRUE(host.WaitSwitches(5));
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::INITIALIZED);
}

TEST_F(AsioScriptedFixture, StartAndStopTwentyTimes)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0), Output(1)};
    ASSERT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_OK);
    for (size_t round = 1; round <= 20; ++round) {
        ASSERT_EQ(driver->start(), ASE_OK) << round;
        ASSERT_TRUE(host.WaitSwitches(3 * round - 1)) << "priming of round " << round;
        ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == round; }));
        Signal(0);
        ASSERT_TRUE(host.WaitSwitches(3 * round)) << "switch of round " << round;
        ASSERT_EQ(driver->stop(), ASE_OK);
        ASSERT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), round);
    }
    Signal(1);
    Sleep(200);
    EXPECT_EQ(host.Switches().size(), 60u) << "no switch after stop";
    EXPECT_EQ(driver->CurrentState(), AsioDriver::PREPARED);
}
