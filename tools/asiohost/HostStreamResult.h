#pragma once
// What a streaming session did: one segment per opening of the driver (a
// reset closes one and opens the next), and the totals the summary shows.
#include "HostPeriodStats.h"

#include <cstdint>
#include <string>
#include <vector>

// Exit codes of asiohost, one per kind of failure.
enum HostExitCode : int
{
    HOST_EXIT_OK = 0,
    HOST_EXIT_STREAM_FAILED = 1, // the device stopped, too many resets, recording failed
    HOST_EXIT_USAGE = 2,
    HOST_EXIT_NO_DRIVER = 3,
    HOST_EXIT_INIT_FAILED = 4,
    HOST_EXIT_RATE_REFUSED = 5,
    HOST_EXIT_BUFFERS_REFUSED = 6,
    HOST_EXIT_START_FAILED = 7,
    HOST_EXIT_NOT_FOUND = 8, // the latency meter found no test sequence
};

struct HostSegment
{
    double rate = 0;
    long frames = 0;
    long inputs = 0; // channels given buffers
    long outputs = 0;
    long refused = 0; // channels the driver returned without buffers
    long inputLatency = 0;
    long outputLatency = 0;
    size_t firstSwitch = 0; // index into the session's switch times
    size_t switches = 0;
    HostPeriodStats periods; // of the switches the device triggered (not the two priming ones)
};

struct HostStreamResult
{
    int exitCode = HOST_EXIT_OK;
    std::string error; // what failed, for the user
    std::string driverName;
    long driverVersion = 0;
    std::vector<HostSegment> segments;
    double elapsedSeconds = 0;
    uint64_t switches = 0;
    uint64_t timeInfoSwitches = 0; // bufferSwitchTimeInfo calls
    uint64_t plainSwitches = 0;    // bufferSwitch calls
    uint32_t resetRequests = 0;
    uint32_t resetsFollowed = 0;
    bool counterUsed = false; // missed switches from the device's "ASIO Error Count"
    uint64_t missedSwitches = 0;
    uint64_t gapMissed = 0; // judged from gaps (shown beside the counter)
    std::string recordPath;
    uint64_t recordedFrames = 0;
    uint64_t droppedFrames = 0;
    std::string recordNote;
};
