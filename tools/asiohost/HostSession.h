#pragma once
// A streaming session as hosts run one: load and init the driver, keep or set
// the rate, take a buffer size, createBuffers, getLatencies, start; play a
// tone on the outputs and record the inputs from the callback; follow every
// kAsioResetRequest from the main thread (never from the callback) by
// stopping, disposing, releasing and opening the driver again; at the end
// stop, dispose and release. The callback makes no allocation and no system
// call but the clock read: everything it touches is prepared before start.
#include "HostDriver.h"
#include "HostRecorder.h"
#include "HostStreamOptions.h"
#include "HostStreamResult.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

class HostSession
{
public:
    explicit HostSession(const HostStreamOptions& options);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Streams for the options' seconds on the calling thread, which must not
    // have COM initialised otherwise than as a single-threaded apartment.
    HostStreamResult Run();

    // Performance-counter time of each buffer switch's entry, in call order,
    // and the counter's frequency (for the benchmark).
    const std::vector<int64_t>& SwitchTicks() const { return m_ticks; }
    size_t SwitchCount() const { return m_count.load(std::memory_order_acquire); }
    double TicksPerSecond() const { return m_ticksPerSecond; }

    // The callbacks (through HostCallbacks).
    void OnBufferSwitch(long index, bool timeInfo) noexcept;
    long OnAsioMessage(long selector, long value) noexcept;
    void OnSampleRateDidChange(double rate) noexcept;

private:
    // One channel's two halves as the callback uses them.
    struct ActiveChannel
    {
        int32_t* halves[2];
    };

    // Opens the driver and starts it; false with the result's error and exit code set.
    bool OpenSegment(bool first, HostStreamResult& result);
    // Stops, disposes and releases the driver; closes the segment's counts.
    void CloseSegment(HostStreamResult& result);
    bool SetRate(double current, HostStreamResult& result);
    bool PickChannels(long inputs, long outputs, HostStreamResult& result);
    bool CreateBuffers(long frames, HostStreamResult& result);
    void PrepareCallbackWork(const HostSegment& segment);
    void FollowRecording(const HostSegment& segment, bool first, HostStreamResult& result);
    // Waits out the run, following resets; false when the run must end early.
    bool StreamUntilDone(HostStreamResult& result);
    void Finish(HostStreamResult& result);
    bool Fail(HostStreamResult& result, int exitCode, const std::string& error);

    void FillOutputs(long half) noexcept;
    void SpendLoad(int64_t entry) noexcept;

    HostStreamOptions m_options;
    HostDriver m_driver;
    HostRecorder m_recorder;
    HANDLE m_resetEvent = nullptr;
    bool m_streaming = false;

    // Prepared per segment, read by the callback while the driver runs.
    std::vector<ASIOBufferInfo> m_bufferInfos;
    std::vector<ActiveChannel> m_outputs;
    std::vector<ActiveChannel> m_inputs;
    std::vector<const int32_t*> m_inputHalves; // scratch of the recorder's Push
    long m_frames = 0;
    bool m_probing = false; // the probe has its two channels
    double m_phase = 0;
    double m_phaseStep = 0;
    int64_t m_loadTicks = 0;

    std::vector<int64_t> m_ticks; // preallocated: the callback only stores into it
    std::atomic<size_t> m_count{0};
    double m_ticksPerSecond = 0;
    std::atomic<uint64_t> m_timeInfoSwitches{0};
    std::atomic<uint64_t> m_plainSwitches{0};
    std::atomic<uint32_t> m_resetRequests{0};
};
