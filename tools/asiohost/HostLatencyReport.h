#pragma once
// What `asiohost latency` prints: each measurement, the round trip most of
// them agree on, what the driver reports (input plus output latency) and
// the difference, as text or as one JSON object.
#include "HostLatencyMeter.h"
#include "HostStreamResult.h"

#include <string>
#include <vector>

struct HostLatencyResult
{
    HostSegment segment; // the opening the measurement ran in
    long input = 0;
    long output = 0;
    std::vector<HostLatencyMeter::Finding> findings;
    uint64_t missedSwitches = 0;

    size_t Found() const;
    bool Measured(long& lag) const { return HostLatencyMeter::MostCommonLag(findings, lag); }
    long Reported() const { return segment.inputLatency + segment.outputLatency; }
};

class HostLatencyReport
{
public:
    static std::string Text(const HostLatencyResult& r);
    static std::string Json(const HostLatencyResult& r);
};
