// The latency meter on its own, over a loop made in memory: it finds the
// delay to the frame whatever the buffer size, gives no finding for an
// input that does not carry its sequence, and the round trip most windows
// agree on wins over one that a slipped callback moved.
#include "HostLatencyMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <vector>

namespace {

// Runs the meter until it is done over a loop that delays by `delay`
// frames; from callback `slipAt` on (if any) the loop is one buffer later.
std::vector<HostLatencyMeter::Finding> MeasureLoop(long frames, long delay, long slipAt = -1)
{
    HostLatencyMeter meter(4);
    meter.Prepare(48000, frames, 2 * frames + 80);
    std::deque<int32_t> line(static_cast<size_t>(delay), 0);
    std::vector<int32_t> input(frames), output(frames);
    for (long callback = 0; !meter.Done(); ++callback) {
        if (callback == slipAt) {
            line.insert(line.begin(), static_cast<size_t>(frames), 0);
        }
        for (long f = 0; f < frames; ++f) {
            input[f] = line.front();
            line.pop_front();
        }
        meter.Exchange(input.data(), output.data(), frames);
        line.insert(line.end(), output.begin(), output.end());
    }
    return meter.Analyse();
}

} // namespace

TEST(HostLatencyMeterTest, FindsTheLoopsDelayToTheFrame)
{
    for (long frames : {32L, 128L, 1000L}) {
        // A loop cannot return a callback's output within the same callback.
        for (long delay : {frames, frames + 1, 2 * frames + 80}) {
            const auto findings = MeasureLoop(frames, delay);
            ASSERT_EQ(findings.size(), 4u);
            for (const auto& f : findings) {
                EXPECT_TRUE(f.found) << frames << " frames, delay " << delay;
                EXPECT_EQ(f.lag, delay) << frames << " frames";
                EXPECT_NEAR(f.score, 1.0, 1e-9);
            }
        }
    }
}

TEST(HostLatencyMeterTest, AnInputWithoutTheSequenceIsNoFinding)
{
    HostLatencyMeter meter(2);
    meter.Prepare(48000, 256, 592);
    std::vector<int32_t> input(256), output(256);
    for (long callback = 0; !meter.Done(); ++callback) {
        for (long f = 0; f < 256; ++f) { // a loud 1 kHz sine, as an unlooped input carries
            input[f] = static_cast<int32_t>(1e9 * std::sin((callback * 256 + f) * 0.1309));
        }
        meter.Exchange(input.data(), output.data(), 256);
    }
    long lag = 0;
    const auto findings = meter.Analyse();
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_FALSE(findings[0].found);
    EXPECT_FALSE(findings[1].found);
    EXPECT_FALSE(HostLatencyMeter::MostCommonLag(findings, lag));
}

TEST(HostLatencyMeterTest, TheRoundTripMostWindowsAgreeOnWins)
{
    // 48000 × 0.3 s settle + one window of 12000 + 1023 frames: the slip
    // comes in the last of the four windows.
    const long frames = 128;
    const auto findings = MeasureLoop(frames, 336, (14400 + 3 * 13023) / frames + 1);
    ASSERT_EQ(findings.size(), 4u);
    EXPECT_EQ(findings[3].lag, 336 + frames);
    long lag = 0;
    ASSERT_TRUE(HostLatencyMeter::MostCommonLag(findings, lag));
    EXPECT_EQ(lag, 336);
}
