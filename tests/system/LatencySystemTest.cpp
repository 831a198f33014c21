// The round trip measured through a loopback cable, end to end: the
// simulator's loopback joins output 0 to input 0, asiohost latency plays its
// test sequence and finds it, and the driver's reported latencies must add
// up to what was measured, to the frame, at every ASIO buffer class at 48
// and 96 kHz.
#include "SystemFixture.h"

namespace {

constexpr DWORD HOST_END_MS = 60000;
// The ASIO buffer of each class at 48 kHz; it doubles at 96 kHz.
constexpr long CLASS_FRAMES[] = {64, 128, 256, 512};

} // namespace

TEST_F(SystemFixture, TheReportedLatencyIsTheMeasuredRoundTripAtEveryBufferClass)
{
    StartSimulatorAndService(1);
    ASSERT_EQ(Control("asio-loopback 0 0"), "OK");
    for (uint32_t rate : {48000u, 96000u}) {
        for (uint32_t asioClass = 0; asioClass < 4; ++asioClass) {
            SCOPED_TRACE("rate " + std::to_string(rate) + ", ASIO class " +
                         std::to_string(asioClass));
            ASSERT_EQ(Control("buffers 2 " + std::to_string(asioClass)), "OK");
            HostRun run = RunHost(
                L"latency", L"--rate " + std::to_wstring(rate) + L" --repeat 3 --json", HOST_END_MS);
            ASSERT_EQ(run.exitCode, 0u) << run.output;
            EXPECT_EQ(LastJsonNumber(run.output, "rate"), rate) << run.output;
            EXPECT_EQ(JsonNumber(run.output, "frames"), CLASS_FRAMES[asioClass] * (rate / 48000))
                << "the class's buffer, the driver's preferred size\n"
                << run.output;
            EXPECT_GE(JsonNumber(run.output, "found"), 2) << run.output;
            EXPECT_EQ(JsonNumber(run.output, "measured"), JsonNumber(run.output, "reported"))
                << run.output;
            EXPECT_EQ(JsonNumber(run.output, "difference"), 0) << run.output;
        }
    }
}

TEST_F(SystemFixture, WithoutALoopbackTheMeterSaysItFoundNoImpulse)
{
    StartSimulatorAndService(1);
    HostRun run = RunHost(L"latency", L"--repeat 2", HOST_END_MS);
    EXPECT_EQ(run.exitCode, 8u) << run.output;
    EXPECT_NE(run.output.find("no impulse found"), std::string::npos) << run.output;
}
