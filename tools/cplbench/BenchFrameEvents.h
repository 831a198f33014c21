#pragma once
// Driver-event latency of the panel's main frame, in this process against
// the simulator that serves this process: a sample-rate notification is
// broadcast (the simulator's "notify 3011"), the frame's event thread posts
// WM_CPL_DRIVER_EVENT, and the frame drains and dispatches it on this
// thread, reading the streaming state back for its status bar. Each sample
// runs from just before the broadcast to the return of that message's
// dispatch; the status bar must then show the rate set for the sample.
#include <functional>
#include <string>
#include <vector>

class BenchFrameEvents
{
public:
    // The simulator's control command runner.
    using Control = std::function<std::string(const std::string& line)>;

    // Microseconds from the broadcast, per sample.
    struct Samples
    {
        std::vector<double> receivedUs; // the message taken from the queue
        std::vector<double> handledUs;  // its handler returned
    };

    // `count` samples, each after about `spacingMs`.
    static bool Measure(const Control& control, size_t count, unsigned spacingMs,
                        Samples& samples, std::string& error);
};
