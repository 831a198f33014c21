#pragma once
// Something the session's buffer-switch callback hands one input and one
// output half to, besides its own tone and recording: the latency meter.
// Prepare runs on the main thread each time the driver is opened (it may
// allocate); Exchange runs in the callback and must neither allocate nor
// make a system call.
#include <cstdint>

class HostCallbackProbe
{
public:
    virtual ~HostCallbackProbe() = default;
    // `roundTrip`: what the driver reports, input plus output latency, in frames.
    virtual void Prepare(double rate, long frames, long roundTrip) = 0;
    virtual void Exchange(const int32_t* input, int32_t* output, long frames) noexcept = 0;
    // True once the probe has all it needs: the session then ends.
    virtual bool Done() const = 0;
};
