// Hosts that misbehave the way real hosts do, against the scripted kernel
// driver: releases and stops from inside callbacks, callbacks slower than the
// period, host threads that hold the connection in long exchanges, rate
// changes at every point of the stream's life, and two threads closing at
// once.
#include "AsioModule.h"
#include "AsioScriptedFixture.h"
#include "AsioTickClock.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "WaitFor.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr long B = 256;

ASIOBufferInfo Output(long channel)
{
    return ASIOBufferInfo{ASIOFalse, channel, {nullptr, nullptr}};
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    return quillo_test::WaitFor(done, timeoutMs, 5);
}

double NowMs()
{
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Plays the kernel driver's pacing on a thread of its own: the half index,
// then the buffer event, every `periodMs`, for at most `limitMs`.
class Pacer
{
public:
    Pacer(const KorvelAsioBufferSetup& setup, DWORD periodMs, DWORD limitMs)
        : m_thread([=, this] {
              auto* block = reinterpret_cast<volatile KorvelAsioSharedBlock*>(
                  static_cast<uintptr_t>(setup.sharedBlock));
              HANDLE event = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(setup.bufferEvent));
              const ULONGLONG until = GetTickCount64() + limitMs;
              for (uint32_t half = 0; !m_stop && GetTickCount64() < until; half ^= 1u) {
                  block->bufferIndex = half;
                  SetEvent(event);
                  Sleep(periodMs);
              }
          })
    {
    }
    ~Pacer()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The longest time without a switch between `fromMs` and `toMs`, given the
// times of the switches: a stream that stalls for good counts up to `toMs`.
double LongestGap(const std::vector<double>& times, double fromMs, double toMs)
{
    double longest = 0;
    double previous = fromMs;
    for (double time : times) {
        if (time >= fromMs && time <= toMs) {
            longest = std::max(longest, time - previous);
            previous = time;
        }
    }
    return std::max(longest, toMs - previous);
}

} // namespace

TEST_F(AsioScriptedFixture, ReleaseInsideACallbackReturnsAndCleansUp)
{
    const LONG objects = AsioModule::ObjectCount();
    AsioDriver* driver = NewAsioDriver().release();
    ASSERT_EQ(driver->init(nullptr), ASIOTrue);
    AsioTestHost host(false, {kAsioResetRequest});
    std::atomic<bool> released{false};
    host.OnSwitch([&] {
        if (host.Switches().size() == 5 && !released) { // the 6th switch
            released = true;
            driver->Release();
        }
    });
    ASIOBufferInfo infos[] = {Output(0), Output(1)};
    ASSERT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));
    for (uint32_t half = 0; !released; half ^= 1u) {
        const size_t seen = host.Switches().size();
        Signal(half);
        ASSERT_TRUE(host.WaitSwitches(seen + 1));
    }
    ASSERT_TRUE(WaitUntil([&] { return AsioModule::ObjectCount() == objects; }))
        << "the driver was destroyed once the callback returned";
    EXPECT_EQ(host.Switches().size(), 6u) << "no switch after the release";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), 1u);
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL), 2u) << "withdrawn before they were freed";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), 1u);
    EXPECT_TRUE(server->WaitClosed(server->ConnectionsAccepted(), 5000)) << "connection closed";
}

TEST_F(AsioScriptedFixture, StopTakesEffectWhileTheHostIsOverloaded)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    constexpr DWORD CALLBACK_MS = 20;
    host.OnSwitch([] { Sleep(CALLBACK_MS); });
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));
    Pacer pacer(BufferSetup(), 2, 6000); // far faster than the host keeps up with
    ASSERT_TRUE(host.WaitSwitches(8));
    const size_t before = host.Switches().size();
    const double start = NowMs();
    EXPECT_EQ(driver->stop(), ASE_OK);
    const double took = NowMs() - start;
    // One callback's time is enough; the margin is for a loaded machine.
    // A stop that loses to the pending buffer event takes the pacer's 6 s.
    EXPECT_LT(took, 1000.0) << "stop waited for the overloaded stream";
    EXPECT_LE(host.Switches().size() - before, 2u) << "switches after stop was called";
}

TEST_F(AsioScriptedFixture, NoticesDoNotStallTheSwitches)
{
    AsioTestHost host(false, {kAsioBufferSizeChange});
    AsioDriverPtr driver = InitDriver();
    std::mutex timesLock;
    std::vector<double> times;
    host.OnSwitch([&] {
        std::lock_guard guard(timesLock);
        times.push_back(NowMs());
    });
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));
    constexpr DWORD PERIOD_MS = 5;
    constexpr DWORD DELAY_MS = 2000;
    Pacer pacer(BufferSetup(), PERIOD_MS, 30000);

    // A host thread holds the connection for a slow exchange, once alone and
    // once while a notification arrives.
    auto slowExchange = [&](bool notify) {
        server->SetAnswerDelay(DELAY_MS);
        const double from = NowMs();
        std::thread request([&] {
            long in = 0, out = 0;
            driver->getLatencies(&in, &out);
        });
        Sleep(200); // the request holds the connection's lock now
        if (notify) {
            SetStreamConfig(44100, B);
            Notify(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
        }
        request.join();
        Sleep(200);
        const double to = NowMs();
        server->SetAnswerDelay(0);
        std::lock_guard guard(timesLock);
        return LongestGap(times, from, to);
    };
    const double alone = slowExchange(false);
    const double notified = slowExchange(true);
    EXPECT_LT(notified, alone + 2 * PERIOD_MS + 500.0)
        << "longest gap with the notification " << notified << " ms, without " << alone << " ms";
    EXPECT_TRUE(host.WaitMessages(1, 15000)) << "the notice still reached the host";
    EXPECT_EQ(host.Messages(), std::vector<long>{kAsioBufferSizeChange});
}

TEST_F(AsioScriptedFixture, RateChangeWhilePreparedReachesTheHostAtStart)
{
    AsioTestHost host(true, {kAsioResetRequest});
    AsioDriverPtr driver = InitDriver();
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    // Another client changes the rate while the host is prepared, not started.
    SetStreamConfig(44100, B);
    Notify(KORVEL_NOTIFY_STREAMING_CHANGED);
    Notify(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASIOSampleRate rate = 0;
    driver->getSampleRate(&rate);
    EXPECT_EQ(rate, 44100.0);
    ASSERT_TRUE(host.WaitMessages(1));
    ASSERT_TRUE(host.WaitSwitches(2));
    Sleep(100);
    EXPECT_EQ(host.Messages(), std::vector<long>{kAsioResetRequest}) << "one request, not one a notice";
    EXPECT_EQ(host.Switches().back().sampleRate, 44100.0) << "the time record's rate";
    EXPECT_EQ(driver->stop(), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    Sleep(100);
    EXPECT_EQ(host.Messages().size(), 1u) << "told once: a restart at the same rate is quiet";
}

TEST_F(AsioScriptedFixture, EveryStreamStartsAtPositionZero)
{
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    ASIOBufferInfo infos[] = {Output(0)};
    auto position = [&] {
        ASIOSamples samples{};
        ASIOTimeStamp stamp{};
        EXPECT_EQ(driver->getSamplePosition(&samples, &stamp), ASE_OK);
        return (uint64_t{samples.hi} << 32) | samples.lo;
    };
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
        EXPECT_EQ(position(), 0u) << "fresh buffers, round " << round;
        for (int restart = 0; restart < 10; ++restart) {
            const size_t seen = host.Switches().size();
            ASSERT_EQ(driver->start(), ASE_OK);
            // The priming switches may already have run: 0 and B.
            EXPECT_LE(position(), uint64_t{B}) << "right after start, restart " << restart;
            ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) > 0; }));
            ASSERT_TRUE(host.WaitSwitches(seen + 2));
            for (uint32_t half : {0u, 1u, 0u}) {
                const size_t now = host.Switches().size();
                Signal(half);
                ASSERT_TRUE(host.WaitSwitches(now + 1));
            }
            // The counter goes up after the callback has returned.
            auto counted = [&] { return driver->Engine().SharedBlock()->switchCount; };
            (void)WaitUntil([&] { return counted() >= 3u; });
            EXPECT_EQ(counted(), 3u) << "this stream's switches only";
            ASSERT_EQ(driver->stop(), ASE_OK);
        }
        EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    }
}

TEST_F(AsioScriptedFixture, RateChangeWhileRunningIsOneMessageAndTheRecordFollows)
{
    AsioTestHost host(true, {kAsioResetRequest, kAsioBufferSizeChange});
    AsioDriverPtr driver = InitDriver();
    ASIOBufferInfo infos[] = {Output(0)};
    ASSERT_EQ(driver->createBuffers(infos, 1, B, host.Callbacks()), ASE_OK);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitUntil([&] { return Count(IOCTL_KORVEL_ASIO_START) == 1; }));

    // The service sets the rate and notifies every client as it does: a
    // streaming change, then a rate change, then the reply.
    server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
        SetStreamConfig(44100, B);
        Notify(KORVEL_NOTIFY_STREAMING_CHANGED);
        Notify(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
        KorvelMessage reply;
        reply.InitReply(request, KORVEL_STATUS_SUCCESS);
        server->QueueMessage(connection, reply, true);
    });
    ASSERT_EQ(driver->setSampleRate(44100.0), ASE_OK);
    ASSERT_TRUE(host.WaitMessages(1));
    Sleep(300);
    EXPECT_EQ(host.Messages(), std::vector<long>{kAsioResetRequest}) << "one message per change";
    const size_t seen = host.Switches().size();
    Signal(0);
    ASSERT_TRUE(host.WaitSwitches(seen + 1));
    EXPECT_EQ(host.Switches().back().sampleRate, 44100.0);
    EXPECT_EQ(host.Switches().back().flags, AsioStreamEngine::TIME_INFO_FLAGS);

    // A rebuild that fails has closed the connection: no success for that.
    server->FailNext(IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST, KORVEL_STATUS_FAILED);
    SetStreamConfig(48000, B);
    EXPECT_EQ(driver->setSampleRate(48000.0), ASE_HWMalfunction);
}

TEST_F(AsioScriptedFixture, TwoThreadsCloseAtOnceAfterARateChange)
{
    const LONG objects = AsioModule::ObjectCount();
    for (int round = 0; round < 10; ++round) {
        AsioDriver* driver = NewAsioDriver().release();
        ASSERT_EQ(driver->init(nullptr), ASIOTrue);
        AsioTestHost host(false, {kAsioResetRequest});
        ASIOBufferInfo infos[] = {Output(0), Output(1)};
        ASSERT_EQ(driver->createBuffers(infos, 2, B, host.Callbacks()), ASE_OK);
        ASSERT_EQ(driver->start(), ASE_OK);
        SetStreamConfig(round % 2 == 0 ? 44100 : 48000, B);
        Notify(KORVEL_NOTIFY_STREAMING_CHANGED);
        ASSERT_TRUE(host.WaitMessages(1)) << round;

        // The helper thread that handles the reset request and the main
        // thread both close, each with its own reference.
        driver->AddRef();
        std::atomic<int> ready{0};
        auto close = [&] {
            ++ready;
            while (ready < 2) {
                YieldProcessor();
            }
            EXPECT_EQ(driver->stop(), ASE_OK);
            EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
            driver->Release();
        };
        std::thread helper(close);
        close();
        helper.join();
        EXPECT_EQ(AsioModule::ObjectCount(), objects) << round;
    }
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), 10u) << "each stream disposed once";
    EXPECT_EQ(Count(IOCTL_KORVEL_ASIO_STOP), Count(IOCTL_KORVEL_ASIO_START));
}

DWORD g_ticks = 0;

DWORD WINAPI FakeTicks()
{
    return g_ticks;
}

TEST(AsioTickClock, TimeStampsGoOnPastTheWrap)
{
    DWORD& ticks = g_ticks;
    AsioTickClock clock(&FakeTicks);
    ticks = 0xFFFFFFF0u;
    EXPECT_EQ(clock.Milliseconds(), 0xFFFFFFF0u);
    ticks = 0x10;
    EXPECT_EQ(clock.Milliseconds(), 0x100000010ull) << "49.7 days later, not 0";
    ticks = 0x20;
    EXPECT_EQ(clock.Milliseconds(), 0x100000020ull);
    ticks = 0x0F;
    EXPECT_EQ(clock.Milliseconds(), 0x20000000Full);
}
