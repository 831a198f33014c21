#pragma once
// The bare mechanism beneath the device's pacing: this process paces an
// event with the simulator's own pacer (absolute deadlines, timed wait plus
// spin, time-critical), and a time-critical thread of a child process wakes
// on it and answers each wake with one increment in memory both share, as a
// host's buffer switch does. A signal that finds the count unmoved since the
// previous one is a miss, counted as the simulated device counts them.
#include <cstdint>
#include <string>
#include <vector>

class BenchPacer
{
public:
    struct Result
    {
        uint64_t signals = 0;
        uint64_t missed = 0;
    };

    // Paces `frames` at `rate` for `seconds`.
    static bool Measure(uint32_t rate, uint32_t frames, double seconds, Result& result,
                        std::string& error);
    // The child's side, when the program's arguments are "--pace-child
    // NAME": true with the program's exit code; false for other arguments.
    static bool RunChildIfAsked(const std::vector<std::wstring>& args, int& exitCode);

private:
    static int RunChild(const std::wstring& name);
};
