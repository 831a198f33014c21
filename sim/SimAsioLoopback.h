#pragma once
// A loopback cable on the simulated device: one ASIO output played back
// into one ASIO input after the delay of the device's converters (what it
// reports as its extra output and input latency). Times are counted in
// frames of the stream's clock: the output block the device plays from time
// t is offered with Play(t), and the input block it records from time t
// asks Record(t) for what was played at t - delay. Before the first sample
// played, and for times never played, the input is silent.
//
// The pacing thread calls both; Reset, before pacing starts, allocates.
#include <cstdint>
#include <vector>

class SimAsioLoopback
{
public:
    // `delay` frames from playing to recording, blocks of `frames`.
    void Reset(uint32_t delay, uint32_t frames);
    void Play(const int32_t* samples, uint32_t frames, int64_t time);
    void Record(int32_t* samples, uint32_t frames, int64_t time) const;
    uint32_t Delay() const { return m_delay; }

private:
    std::vector<int32_t> m_ring; // a power of two long
    int64_t m_played = 0;        // time up to which the ring holds played frames
    uint32_t m_delay = 0;
};
