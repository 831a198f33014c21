#pragma once
// The CPU cost of open mixer windows: both windows of the first device in
// this process, their 20 ms level timers running while asiohost.exe streams
// a tone through brindleasio.dll into the simulator that serves this
// process, beside the same level requests made bare (one timer, the same
// four requests a tick, nothing drawn) in the same run. Both are the CPU
// time of this thread over the same span.
#include <functional>
#include <string>

class BenchMixerLoad
{
public:
    using Control = std::function<std::string(const std::string& line)>;

    struct Figures
    {
        double seconds = 0;    // each span
        double panelCpuMs = 0; // the two windows: requests, meters, painting
        double panelTicks = 0; // level ticks the windows took, both together
        double bareCpuMs = 0;  // the same requests without windows
        double bareTicks = 0;  // ticks of the bare timer (four requests each)
        unsigned columns = 0;  // output columns of one window
        unsigned rows = 0;     // input rows of one window
    };

    // Starts the service (`serviceCommand`, which streaming needs) and the
    // host (`hostCommand`, streaming for longer than the set-up and both
    // spans together), measures, and ends both again.
    static bool Measure(const Control& control, const std::wstring& serviceCommand,
                        const std::wstring& hostCommand, double seconds, Figures& figures,
                        std::string& error);
};
