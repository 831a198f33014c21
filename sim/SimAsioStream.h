#pragma once
// The ASIO stream of one connection, as the kernel driver keeps it per file
// object: what CREATE_BUFFERS announced (the client's shared block, its
// buffer event, frames per half), the channel buffers that SET_CHANNEL_BUFFER
// handed over, and the pacing after START.
//
// Client memory is reached through a handle of the client's process
// (ReadProcessMemory / WriteProcessMemory), as a driver reaches mapped user
// buffers; every address is checked readable and writable when it is
// announced. Each access is a round trip through the system (under Wine,
// through its server), so a period does as few as it can, and only three
// before its signal. Per period, for the half h the host is to process
// next: read the switch counter (a counter that has not moved since the
// previous signal is a missed switch), write h into the buffer index and
// signal the buffer event; then, while the host works on h, read the
// host's output half 1 − h where something listens to it (a capture: every
// output; the loopback: its output; the level meters: each output at most
// every METER_INTERVAL_MS, staggered), and write input half 1 − h for the
// next signal (the test signal, or the loopback's recording). The first
// signal names half 0, its inputs written just before it.
// A client whose memory can no longer be reached (it died) ends the
// stream; the simulator goes on.
//
// Requests come under the simulator lock; the pacing thread works on what
// Start copied and on atomics only.
#include "KorvelAsioRecords.h"
#include "SimAsioLoopback.h"
#include "SimAsioPacer.h"
#include "SimHandle.h"
#include "SimLevelMeter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SimAsioCapture;
class SimAsioSignalLog;
class SimStreaming;

class SimAsioStream : private SimAsioPacer::Client
{
public:
    // Frames per half beyond this are no buffer a host would use.
    static constexpr uint32_t MAX_FRAMES = 16384;
    static constexpr uint32_t PCM_SAMPLE_BYTES = 4;
    static constexpr uint32_t DSD_BLOCK_BYTES = 8; // 64 one-bit samples
    static constexpr uint32_t DSD_BLOCK_SAMPLES = 64;
    static constexpr uint64_t EXIT_CHECK_PERIODS = 16;
    static constexpr uint32_t METER_INTERVAL_MS = 20;

    // An output played back into an input (by key), `delay` frames later.
    struct Loopback
    {
        KorvelChannelKey output{};
        KorvelChannelKey input{};
        uint32_t delay = 0;
    };

    struct Channel
    {
        KorvelChannelKey key{};
        bool input = false;
        bool dsd = false;
        uint32_t index = 0;  // among the device's channels of its direction
        uint64_t order = 0;  // when it was enabled: capture order
        KorvelMixerPin pin{};
        std::shared_ptr<SimLevelMeter> meter;
        uintptr_t address = 0;
        uint32_t halfBytes = 0;
    };

    SimAsioStream(uint32_t connection, uint32_t processId, SimStreaming& streaming,
                  SimAsioCapture& capture);
    ~SimAsioStream() override;

    SimAsioStream(const SimAsioStream&) = delete;
    SimAsioStream& operator=(const SimAsioStream&) = delete;

    // CREATE_BUFFERS (again: replaces the announcement and drops the channel
    // buffers). INVALID_STATE while running, INVALID_BUFFER_SIZE for frames 0
    // or above MAX_FRAMES, INVALID_PARAMETER for a shared block that is not
    // readable and writable or a handle that is no auto-reset event.
    uint32_t Create(const KorvelAsioBufferSetup& setup);
    bool Created() const { return m_frames != 0; }
    // SET_CHANNEL_BUFFER for an enabled channel described by `channel`
    // (address and half length from the request). INVALID_STATE while
    // running, INVALID_PARAMETER for a format word other than 4 or memory
    // the client cannot read and write, INVALID_BUFFER_SIZE for a half
    // length other than N × 4 (PCM) or N × 8 (DSD).
    uint32_t SetChannelBuffer(const Channel& channel, uint64_t address, uint32_t halfBytes,
                              uint32_t formatWord);
    // The channel was disabled: its buffer is no longer the stream's.
    void RemoveChannel(KorvelChannelKey key);

    // START in streaming state 4 at `rate` (the caller checks the state).
    // ALREADY_DONE while running; CHANNEL_CONFIG_CHANGED when a buffer's
    // format no longer matches the rate's; NO_RESOURCES without a thread.
    // A loopback applies when both its channels are PCM channels of the stream.
    uint32_t Start(uint32_t rate, std::shared_ptr<SimAsioSignalLog> log,
                   const std::optional<Loopback>& loopback = std::nullopt);
    // STOP: ALREADY_DONE when not running. Joins the pacing thread.
    uint32_t Stop();
    bool Running() const { return m_pacer.Pacing(); }

    uint32_t Connection() const { return m_connection; }
    uint32_t ProcessId() const { return m_processId; }
    uint64_t Signals() const { return m_signals.load(); }
    uint64_t Missed() const { return m_missed.load(); }
    // "asio.stream=<connection> pid=… state=… frames=… rate=… inputs=…
    //  outputs=… signals=… switches=… missed=… signalUs=… workUs=…"; the
    // last two are the pacing thread's mean time per period up to the signal
    // (the part a host waits for) and after it.
    std::string DumpLine() const;

private:
    bool Timing(uint64_t& samples, uint32_t& rate) override;
    bool Period(bool resumed) override;
    // Reads output `half` after `signal`, for whatever listens to it.
    bool ReadOutputs(uint32_t half, uint64_t signal);
    // Writes input `half` for `signal`.
    bool WriteInputs(uint32_t half, uint64_t signal);
    bool ReadOutput(const Channel& c, uint32_t half);
    void PublishLevel(const Channel& c) const; // of the channel's half in m_half
    void MeterDone(uint32_t column, int64_t now);
    void PrepareListening(const std::optional<Loopback>& loopback);
    static bool SameKey(KorvelChannelKey a, KorvelChannelKey b);
    bool Signal(uint32_t half, bool resumed);
    bool End();
    void Silence();
    uint32_t CheckClientMemory(uint64_t address, uint64_t bytes) const;
    bool IsWritable(uintptr_t address, uintptr_t end) const;
    bool ReadClient(uintptr_t address, void* data, size_t bytes) const;
    bool WriteClient(uintptr_t address, const void* data, size_t bytes) const;
    uint32_t HalfBytes(bool dsd) const;
    static int64_t Now();
    double MeanUs(const std::atomic<uint64_t>& ticks) const;

    const uint32_t m_connection;
    const uint32_t m_processId;
    SimStreaming& m_streaming;
    SimAsioCapture& m_capture;
    SimHandle m_process;
    SimHandle m_event;
    uintptr_t m_block = 0;
    uint32_t m_frames = 0;
    std::vector<Channel> m_channels; // in enable order once started
    bool m_started = false;
    // Copied at Start for the pacing thread.
    bool m_dsd = false;
    uint32_t m_pcmOutputs = 0;
    std::vector<int32_t> m_half;    // one channel's half
    std::vector<int32_t> m_interleaved; // interleaved PCM outputs of one period
    std::shared_ptr<SimAsioSignalLog> m_log;
    int64_t m_qpcFrequency = 1;
    size_t m_loopOutput = SIZE_MAX; // index into m_channels; SIZE_MAX: no loopback
    size_t m_loopInput = SIZE_MAX;
    SimAsioLoopback m_loopback;
    std::vector<int64_t> m_meterDue; // per PCM output, in counter ticks
    // Pacing state.
    uint32_t m_nextHalf = 0;
    uint32_t m_lastSwitch = 0;
    uint64_t m_preparedSignal = UINT64_MAX; // the signal whose inputs are written
    uint32_t m_preparedRate = 0;
    std::atomic<uint32_t> m_rate{0};
    std::atomic<uint64_t> m_signals{0};
    std::atomic<uint64_t> m_missed{0};
    std::atomic<uint32_t> m_switches{0};
    std::atomic<uint64_t> m_signalTicks{0}; // spent per period before the signal, summed
    std::atomic<uint64_t> m_workTicks{0};   // and after it
    SimAsioPacer m_pacer; // last: its thread is joined before the rest goes
};
