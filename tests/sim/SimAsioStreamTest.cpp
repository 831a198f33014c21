// ASIO streaming in the simulator with the test process as the client:
// request validation and order, the half sequence and the exchange order,
// the test signal, capture and live levels, missed switches, pausing,
// releasing on stop, dispose, close and a client whose memory vanished, and
// the accuracy of the mean period.
#include "SimAsioFixture.h"

#include "KorvelMixerRecords.h"
#include "SimAsio.h"
#include "SimAsioTestSignal.h"
#include "SimMixer.h"
#include "WavReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t N = 256;

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

TEST_F(SimAsioFixture, BufferRequestsAreCheckedAndOrderedAsByTheDriver)
{
    const KorvelChannelKey out0 = Output(0);
    Memory buffer(N * 8);
    Memory readOnly(N * 8, PAGE_READONLY);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    ASSERT_EQ(Enable(out0), 0u);
    EXPECT_EQ(SetBuffer(out0, buffer.Value(), N * 4), KORVEL_STATUS_INVALID_STATE) << "no buffers";
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_START), KORVEL_STATUS_INVALID_STATE);
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), KORVEL_STATUS_INVALID_STATE);
    EXPECT_EQ(Create(0), KORVEL_STATUS_INVALID_BUFFER_SIZE);
    EXPECT_EQ(Create(1u << 20), KORVEL_STATUS_INVALID_BUFFER_SIZE);
    EXPECT_EQ(Create(N, 0, EventValue()), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Create(N, readOnly.Value(), EventValue()), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Create(N, m_block.Value(), 0), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Create(N, m_block.Value(), reinterpret_cast<uintptr_t>(mutex)),
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Create(N, m_block.Value(), reinterpret_cast<uintptr_t>(manual)),
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(DumpValue("asio.streams="), "0") << "refused announcements leave nothing";
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED), 0u);

    ASSERT_EQ(Create(N), 0u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED), 1u);
    EXPECT_EQ(SetBuffer(Output(1), buffer.Value(), N * 4), KORVEL_STATUS_INVALID_STATE)
        << "never enabled";
    EXPECT_EQ(SetBuffer(KorvelChannelKey{0xDEAD, 1}, buffer.Value(), N * 4),
              KORVEL_STATUS_OBJECT_NOT_FOUND);
    EXPECT_EQ(SetBuffer(out0, buffer.Value(), N * 8), KORVEL_STATUS_INVALID_BUFFER_SIZE);
    EXPECT_EQ(SetBuffer(out0, buffer.Value(), N * 4, 3), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(SetBuffer(out0, 0, N * 4), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(SetBuffer(out0, readOnly.Value(), N * 4), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(SetBuffer(out0, UINT64_MAX - 100, N * 4), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(SetBuffer(out0, buffer.Value() + 4096 - N * 4, N * 4),
              KORVEL_STATUS_INVALID_PARAMETER)
        << "half 1 would run past the committed page";
    ASSERT_EQ(SetBuffer(out0, buffer.Value(), N * 4), 0u);
    EXPECT_EQ(StreamField("outputs"), 1u);

    ASSERT_TRUE(model.Streaming().ForceState(KORVEL_STREAMING_STATE_PREPARED));
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_START), KORVEL_STATUS_INVALID_STATE) << "not streaming";
    ASSERT_TRUE(model.Streaming().ForceState(KORVEL_STREAMING_STATE_RUNNING));
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_START), KORVEL_STATUS_ALREADY_DONE);
    EXPECT_EQ(SetBuffer(out0, buffer.Value(), N * 4), KORVEL_STATUS_INVALID_STATE) << "running";
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL, &out0, 8), KORVEL_STATUS_INVALID_STATE);
    EXPECT_EQ(Create(N), KORVEL_STATUS_INVALID_STATE);
    EXPECT_NE(StreamLine().find("state=running"), std::string::npos) << StreamLine();
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), 0u);
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), KORVEL_STATUS_ALREADY_DONE);
    EXPECT_NE(StreamLine().find("state=stopped"), std::string::npos) << StreamLine();
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL, &out0, 8), 0u);
    EXPECT_EQ(StreamField("outputs"), 0u) << "a disabled channel's buffer is withdrawn";
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), 0u);
    EXPECT_EQ(DumpValue("asio.streams="), "0");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_CLIENT_STREAM_STOP_POSSIBLE), 1u);
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), KORVEL_STATUS_INVALID_STATE);
    CloseHandle(mutex);
    CloseHandle(manual);
}

// Half 0 first, then 1, 0, 1, …; each input half already holds the test
// signal when its index is signalled; the host's outputs reach the capture
// file and the playback pins' levels.
TEST_F(SimAsioFixture, PacingExchangesHalvesInOrder)
{
    ASSERT_EQ(Create(N), 0u);
    int32_t* in0 = AddPcmChannel(Input(0), N);
    int32_t* in1 = AddPcmChannel(Input(1), N);
    int32_t* out1 = AddPcmChannel(Output(1), N); // enabled first: captured first
    int32_t* out0 = AddPcmChannel(Output(0), N);
    const std::string wav = TempPath("capture.wav");
    ASSERT_EQ(Control("asio-capture " + wav), "OK");
    // The host's output: both halves of out0 at half scale, out1 counting.
    for (uint32_t i = 0; i < 2 * N; ++i) {
        out0[i] = 0x40000000;
        out1[i] = static_cast<int32_t>(i);
    }
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);

    const uint32_t switches = 24;
    for (uint32_t k = 0; k < switches; ++k) {
        uint32_t half = 99;
        ASSERT_TRUE(WaitSignal(half)) << "buffer event signal " << k;
        ASSERT_EQ(half, k % 2) << "signal " << k;
        // The input half was written before the signal: the sine from the
        // stream's start, 1 kHz on input 0 and 2 kHz on input 1.
        for (uint32_t f = 0; f < N; f += 37) {
            const double t = static_cast<double>(uint64_t{k} * N + f) / 48000.0;
            const double want0 = 0x40000000 * std::sin(2 * 3.14159265358979 * 1000 * t);
            const double want1 = 0x40000000 * std::sin(2 * 3.14159265358979 * 2000 * t);
            ASSERT_NEAR(in0[half * N + f], want0, 64.0) << "signal " << k << " frame " << f;
            ASSERT_NEAR(in1[half * N + f], want1, 64.0) << "signal " << k << " frame " << f;
        }
        Acknowledge();
    }
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), 0u);
    EXPECT_GE(StreamField("signals"), switches);
    // The counter is read before each signal: the last signal saw the
    // answer to the one before it, or, if it came before STOP, the last one.
    EXPECT_GE(StreamField("switches"), Block().switchCount - 1u);
    EXPECT_LE(StreamField("switches"), uint64_t{Block().switchCount});
    EXPECT_EQ(InputLevel(SimMixer::MakePin(2, 0)), SimMixer::LEVEL_FLOOR)
        << "a stopped stream's playback pins fall silent";
    ASSERT_EQ(Control("asio-capture stop"), "OK");

    WavReader reader;
    ASSERT_EQ(reader.Open(Wide(wav)), 0u);
    EXPECT_EQ(reader.Channels(), 2u);
    EXPECT_EQ(reader.Rate(), 48000u);
    ASSERT_GE(reader.Frames(), size_t{switches} * N);
    EXPECT_EQ(reader.Frames() % N, 0u);
    // Signal k (half h) reads output half 1 - h: the capture starts with half 1.
    for (size_t f = 0; f < reader.Frames(); f += 101) {
        const size_t half = 1 - (f / N) % 2;
        ASSERT_EQ(reader.Sample(f, 0), static_cast<int32_t>(half * N + f % N)) << "frame " << f;
        ASSERT_EQ(reader.Sample(f, 1), 0x40000000) << "frame " << f;
    }
    DeleteFileA(wav.c_str());
}

TEST_F(SimAsioFixture, LevelsFollowTheHostsOutputAndTheTestSignal)
{
    ASSERT_EQ(Create(N), 0u);
    AddPcmChannel(Input(2), N);
    int32_t* out3 = AddPcmChannel(Output(3), N);
    // The meters read a half now and then, not every one: both carry the peak.
    for (uint32_t i = 0; i < 2 * N; ++i) {
        out3[i] = i % N == 5 ? -0x08000000 : 1000; // peak at 1/16 of full scale
    }
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);
    for (int k = 0; k < 4; ++k) {
        uint32_t half = 0;
        ASSERT_TRUE(WaitSignal(half)) << "buffer event signal " << k;
        Acknowledge();
    }
    EXPECT_EQ(InputLevel(SimMixer::MakePin(2, 3)), -2408) << "playback pin of output 3";
    EXPECT_EQ(InputLevel(SimMixer::MakePin(0, 2)), SimAsioTestSignal::LEVEL) << "hardware in 2";
    EXPECT_EQ(InputLevel(SimMixer::MakePin(0, 0)), SimMixer::LEVEL_FLOOR) << "not streamed";
}

// A host that does not answer misses every switch after the first; while
// the streaming state is not 4 nothing is signalled and nothing counted.
TEST_F(SimAsioFixture, MissedSwitchesAreCountedAndPausesAreNot)
{
    ASSERT_EQ(Create(N), 0u);
    AddPcmChannel(Output(0), N);
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);
    uint32_t half = 0;
    for (int k = 0; k < 5; ++k) {
        ASSERT_TRUE(WaitSignal(half)) << "buffer event signal " << k;
    }
    ASSERT_TRUE(model.Streaming().ForceState(KORVEL_STREAMING_STATE_PREPARED));
    Sleep(30); // a period in flight may still end
    const uint64_t signals = StreamField("signals");
    const uint64_t missed = StreamField("missed");
    EXPECT_GE(missed, 4u);
    EXPECT_EQ(missed, signals - 1) << StreamLine();
    EXPECT_EQ(AsioErrorCount(), missed);
    WaitSignal(half, 0); // drop a signal left from before the pause
    EXPECT_FALSE(WaitSignal(half, 150)) << "paused: no signal";
    EXPECT_EQ(StreamField("signals"), signals);

    ASSERT_EQ(model.Streaming().ForceRate(96000), 0u) << "the service changes the rate";
    ASSERT_TRUE(model.Streaming().ForceState(KORVEL_STREAMING_STATE_RUNNING));
    ASSERT_TRUE(WaitSignal(half)) << "resumed";
    Acknowledge();
    ASSERT_TRUE(WaitSignal(half)) << "second signal after resuming";
    Acknowledge();
    ASSERT_TRUE(WaitSignal(half)) << "third signal after resuming";
    Acknowledge(); // a fourth before the stop is no miss either
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), 0u);
    EXPECT_EQ(StreamField("missed"), missed) << "answered switches and the resume count nothing";
    EXPECT_EQ(StreamField("rate"), 96000u) << "resumed at the new rate";
    EXPECT_EQ(AsioErrorCount(), missed);
}

// A loopback cable from output 0 to input 0: what the host wrote in its
// callback for signal c at frame g comes back in the input of signal k at
// frame f where (k - c) × N + (f - g) is twice the buffer plus the device's
// delay, the round trip that the driver reports. Before anything was
// played, the input is silent; the other inputs keep their test signal.
TEST_F(SimAsioFixture, ALoopbackReturnsTheOutputAfterTheDevicesDelay)
{
    EXPECT_EQ(Control("asio-loopback 0"), "ERR usage: asio-loopback <output> <input> | off");
    EXPECT_EQ(Control("asio-loopback 9999 0").rfind("ERR no output 9999", 0), 0u);
    EXPECT_EQ(Control("asio-loopback 0 9999").rfind("ERR no input 9999", 0), 0u);
    ASSERT_EQ(Control("asio-loopback 0 0"), "OK");
    EXPECT_EQ(DumpValue("asio.loopback="), "0:0");
    ASSERT_EQ(Create(N), 0u);
    int32_t* in0 = AddPcmChannel(Input(0), N);
    int32_t* in1 = AddPcmChannel(Input(1), N);
    int32_t* out0 = AddPcmChannel(Output(0), N);
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);

    const int64_t delay = SimAsio::EXTRA_INPUT_LATENCY + SimAsio::EXTRA_OUTPUT_LATENCY;
    for (uint32_t k = 0; k < 12; ++k) {
        uint32_t half = 99;
        ASSERT_TRUE(WaitSignal(half)) << "buffer event signal " << k;
        ASSERT_EQ(half, k % 2) << "signal " << k;
        for (uint32_t f = 0; f < N; ++f) {
            // The value the host wrote at output position c × N + g is that position + 1.
            const int64_t played = (int64_t{k} - 2) * N + f - delay;
            const int32_t expected = played >= 0 ? static_cast<int32_t>(played + 1) : 0;
            ASSERT_EQ(in0[half * N + f], expected) << "signal " << k << " frame " << f;
        }
        EXPECT_NE(in1[half * N + 1], 0) << "input 1 still carries its test signal";
        for (uint32_t g = 0; g < N; ++g) {
            out0[half * N + g] = static_cast<int32_t>(k * N + g + 1);
        }
        Acknowledge();
    }
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), 0u);
    EXPECT_EQ(StreamField("missed"), 0u);
    ASSERT_EQ(Control("asio-loopback off"), "OK");
    EXPECT_EQ(DumpValue("asio.loopback="), "-");
}

// Stop, dispose and a closed connection each end the signals; a client whose
// memory vanished ends its stream, not the simulator.
TEST_F(SimAsioFixture, StopDisposeAndCloseEndTheSignals)
{
    auto expectQuiet = [&](const char* after) {
        uint32_t half = 0;
        WaitSignal(half, 0);
        EXPECT_FALSE(WaitSignal(half, 100)) << "a signal after " << after;
    };
    auto startAndSee = [&] {
        ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);
        uint32_t half = 0;
        ASSERT_TRUE(WaitSignal(half)) << "buffer event signal";
    };
    ASSERT_EQ(Create(N), 0u);
    AddPcmChannel(Output(0), N);
    startAndSee();
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), 0u);
    expectQuiet("STOP");
    startAndSee();
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS), 0u);
    expectQuiet("DISPOSE_BUFFERS");

    ASSERT_EQ(Create(N), 0u);
    startAndSee();
    model.OnConnectionClosed(CONNECTION, GetCurrentProcessId());
    expectQuiet("the connection closed");
    EXPECT_EQ(DumpValue("asio.streams="), "0");
    EXPECT_EQ(DumpValue("asio.enabled="), "0");

}

// A client that dies while streaming ends its stream, not the simulator: the
// client here is a suspended second process whose memory and event the
// test prepares from outside, then terminates.
TEST_F(SimAsioFixture, ADeadClientEndsItsStream)
{
    wchar_t exe[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_list_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &child));
    auto remote = [&](size_t bytes) {
        return reinterpret_cast<uintptr_t>(
            VirtualAllocEx(child.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE,
                           PAGE_READWRITE));
    };
    HANDLE childEvent = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), m_event, child.hProcess, &childEvent, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));
    const uintptr_t block = remote(sizeof(KorvelAsioSharedBlock));
    const uintptr_t buffer = remote(N * 8);
    ASSERT_NE(block, 0u);
    ASSERT_NE(buffer, 0u);
    m_clientPid = child.dwProcessId;

    ASSERT_EQ(Enable(Output(0)), 0u);
    ASSERT_EQ(Create(N, block, reinterpret_cast<uintptr_t>(childEvent)), 0u);
    ASSERT_EQ(SetBuffer(Output(0), buffer, N * 4), 0u);
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);
    uint32_t half = 0;
    ASSERT_TRUE(WaitForSingleObject(m_event, SIGNAL_WAIT_MS) == WAIT_OBJECT_0)
        << "buffer event signal to the second process";
    ASSERT_TRUE(TerminateProcess(child.hProcess, 1));
    WaitForSingleObject(child.hProcess, 5000);
    for (int i = 0; i < 200 && StreamLine().find("state=running") != std::string::npos; ++i) {
        Sleep(10);
    }
    EXPECT_NE(StreamLine().find("state=stopped"), std::string::npos) << StreamLine();
    WaitSignal(half, 0);
    EXPECT_FALSE(WaitSignal(half, 100)) << "a signal after the client died";
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), KORVEL_STATUS_ALREADY_DONE);
    model.OnConnectionClosed(CONNECTION, m_clientPid);
    EXPECT_EQ(DumpValue("asio.streams="), "0");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_CLIENT_STREAM_STOP_POSSIBLE), 1u);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
}

// The signal log's counter values: the mean period over three seconds (the
// slope of a straight line through the signal times, so that one late
// signal at either end weighs little) lies within 2 % of 1024 / 48000 s.
TEST_F(SimAsioFixture, MeanPeriodHasNoDrift)
{
    const uint32_t frames = 1024;
    ASSERT_EQ(Create(frames), 0u);
    AddPcmChannel(Output(0), frames);
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);
    uint32_t half = 0;
    const DWORD begin = GetTickCount();
    while (GetTickCount() - begin < 3000) {
        ASSERT_TRUE(WaitSignal(half)) << "buffer event signal";
        Acknowledge();
    }
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), 0u);
    const std::string path = TempPath("signals.txt");
    ASSERT_EQ(Control("asio-signal-log " + path), "OK");
    std::vector<long long> times;
    FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    long long value = 0;
    while (std::fscanf(file, "%lld", &value) == 1) {
        times.push_back(value);
    }
    std::fclose(file);
    DeleteFileA(path.c_str());
    ASSERT_GE(times.size(), 100u) << "about 140 signals in three seconds";
    ASSERT_EQ(times.size(), StreamField("signals")) << "every signal is logged";
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    double meanIndex = 0;
    double meanTime = 0;
    const double count = static_cast<double>(times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_GE(times[i], times[i > 0 ? i - 1 : 0]) << "oldest first";
        meanIndex += static_cast<double>(i) / count;
        meanTime += static_cast<double>(times[i] - times[0]) / frequency.QuadPart / count;
    }
    double covariance = 0;
    double variance = 0;
    for (size_t i = 0; i < times.size(); ++i) {
        const double di = static_cast<double>(i) - meanIndex;
        covariance += di * (static_cast<double>(times[i] - times[0]) / frequency.QuadPart - meanTime);
        variance += di * di;
    }
    const double nominal = frames / 48000.0;
    const double slope = covariance / variance;
    EXPECT_NEAR(slope / nominal, 1.0, 0.02) << "mean period " << slope * 1000 << " ms";
    std::printf("mean period %.4f ms, nominal %.4f ms, %zu signals\n", slope * 1000,
                nominal * 1000, times.size());
}

// DSD: halves of N blocks of 8 bytes, inputs carry the DSD silence pattern,
// and buffers made for one kind of rate do not start at the other.
TEST_F(SimAsioFixture, DsdBuffersAndInputs)
{
    const uint32_t blocks = 32; // a host buffer of 2048 DSD samples
    ASSERT_EQ(model.Streaming().ForceRate(2822400), 0u);
    ASSERT_EQ(Create(blocks), 0u);
    Memory input(blocks * 16);
    ASSERT_EQ(Enable(Input(0)), 0u);
    EXPECT_EQ(SetBuffer(Input(0), input.Value(), blocks * 4), KORVEL_STATUS_INVALID_BUFFER_SIZE);
    ASSERT_EQ(SetBuffer(Input(0), input.Value(), blocks * 8), 0u);
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_START), 0u);
    uint32_t half = 0;
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(WaitSignal(half)) << "buffer event signal " << k;
        const auto* bytes = static_cast<const uint8_t*>(input.address) + half * blocks * 8;
        for (uint32_t b = 0; b < blocks * 8; ++b) {
            ASSERT_EQ(bytes[b], SimAsioTestSignal::DSD_SILENCE) << "byte " << b;
        }
        Acknowledge();
    }
    ASSERT_EQ(Asio(IOCTL_KORVEL_ASIO_STOP), 0u);
    ASSERT_EQ(model.Streaming().ForceRate(48000), 0u);
    EXPECT_EQ(Asio(IOCTL_KORVEL_ASIO_START), KORVEL_STATUS_CHANNEL_CONFIG_CHANGED);
}
