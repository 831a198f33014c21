#pragma once
// What a streaming session is asked to do (asiohost stream's options).
#include "HostDriver.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class HostCallbackProbe;

struct HostChannelRef
{
    bool input = false;
    long index = 0;
};

struct HostStreamOptions
{
    HostDriverSource source;
    double seconds = 5;
    uint32_t rate = 0;                    // 0: keep the driver's current rate
    long frames = 0;                      // 0: the driver's preferred buffer size
    std::vector<HostChannelRef> channels; // empty: every input and output
    bool timeInfo = true;                 // answer kAsioSupportsTimeInfo with 1
    double toneHz = 440;                  // 0: the outputs carry silence
    std::wstring recordPath;              // empty: no recording
    uint32_t loadPercent = 0;             // share of each period spent busy in the callback
    DWORD stallMs = 3000;                 // no switch for this long: the device stopped
    uint32_t maxResets = 10;              // more reset requests than this end the run
    // Given the first input and the first output of `channels` in every
    // callback (not owned); the run ends when it is done.
    HostCallbackProbe* probe = nullptr;
};
