#pragma once
// Buffer-switch latency: from the simulator's buffer-event signal (its
// performance-counter values, from the asio-signal-log command) to the
// entry of the host's callback (the session's own counter values). Both
// processes read the same system-wide counter.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class BenchSwitchLatency
{
public:
    // The counter values of a signal-log file (one decimal per line; other lines skipped).
    static bool ReadSignalLog(const std::wstring& path, std::vector<int64_t>& signals);
    // For each callback entry, the time since the latest signal before it,
    // when that lies within one period (a later entry belongs to a missed
    // switch's neighbour and says nothing about wake-up latency).
    static std::vector<double> Match(const std::vector<int64_t>& signals, const int64_t* entries,
                                     size_t count, double ticksPerSecond, double periodUs);
};
