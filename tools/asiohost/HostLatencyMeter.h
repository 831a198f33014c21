#pragma once
// The round trip from an ASIO output to an ASIO input, as a user measures it
// with a loopback cable: the meter plays a maximum-length sequence on the
// output once per measuring window, records the input, and finds each
// sequence in the recording by cross-correlation. Positions on both sides
// are counted in frames of the host's own callbacks (callback n holds
// frames n × N … n × N + N − 1 of both streams), so the lag found is the
// round trip the driver's reported latencies must add up to: input latency
// plus output latency.
//
// The first SETTLE_SECONDS are left out (a stream's first periods are the
// least regular). A window holds one sequence and silence; it is long enough
// for four times the reported round trip and at least WINDOW_SECONDS.
#include "HostCallbackProbe.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class HostLatencyMeter : public HostCallbackProbe
{
public:
    static constexpr uint32_t SEQUENCE_ORDER = 10; // 1023 samples
    static constexpr int32_t AMPLITUDE = 0x20000000; // a quarter of full scale
    static constexpr double SETTLE_SECONDS = 0.3;
    static constexpr double WINDOW_SECONDS = 0.25;
    // The share of a perfect match that counts as found.
    static constexpr double FOUND_SCORE = 0.5;

    struct Finding
    {
        bool found = false;
        long lag = 0;      // frames from playing to recording
        double score = 0;  // correlation at the lag, 1 for an exact copy
    };

    explicit HostLatencyMeter(uint32_t repeats);

    void Prepare(double rate, long frames, long roundTrip) override;
    void Exchange(const int32_t* input, int32_t* output, long frames) noexcept override;
    bool Done() const override;

    bool Prepared() const { return m_window > 0; }
    // One finding per window, after the session has ended.
    std::vector<Finding> Analyse() const;
    // The lag most of the found windows agree on; false when none was found.
    static bool MostCommonLag(const std::vector<Finding>& findings, long& lag);

private:
    void MakeSequence();
    Finding Find(size_t window) const;

    const uint32_t m_repeats;
    std::vector<int8_t> m_sequence; // +1 / -1
    std::vector<int32_t> m_recorded;
    size_t m_settle = 0; // frames before the first window
    size_t m_window = 0; // frames of one window
    // Frames exchanged so far: the callback's, read by Done on the main thread.
    std::atomic<size_t> m_position{0};
};
