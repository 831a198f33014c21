#pragma once
// Capture of ASIO output to a WAV file (`asio-capture <path>`). The pacing
// threads offer each period's output half; the capture copies it into a
// preallocated ring and a writer thread of its own drains the ring into the
// file, so that a pacing thread never waits for the disk and never takes a
// lock.
//
// The file takes the layout (rate, channel count) of the first stream that
// offers a period; one stream at a time owns the capture (two interleaved
// streams would be noise). When the owner stops, a later stream of the same
// layout continues the file; a stream of another layout is left out and
// counted as skipped. A full ring drops the half and counts its frames.
#include "SimHandle.h"
#include "WavWriter.h"
#include "WnThread.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class SimAsioCapture
{
public:
    static constexpr size_t RING_SAMPLES = size_t{1} << 22; // 16 MiB: seconds of headroom
    static constexpr DWORD DRAIN_INTERVAL_MS = 20;

    SimAsioCapture();
    ~SimAsioCapture();

    SimAsioCapture(const SimAsioCapture&) = delete;
    SimAsioCapture& operator=(const SimAsioCapture&) = delete;

    // Control side (under the simulator lock). Begin checks that the file can
    // be created; a capture already running is finished first. "" or the
    // reason it failed.
    std::string Begin(const std::string& path, uint32_t currentRate);
    // Finishes and closes the file; "" or the reason it failed.
    std::string End();
    bool Active() const { return m_active.load(std::memory_order_acquire); }

    // Pacing side: one period of `frames` interleaved frames of `channels`
    // channels from stream `owner` (a connection id, not 0).
    void Offer(uint32_t owner, uint32_t rate, uint32_t channels, const int32_t* samples,
               uint32_t frames);
    // The stream `owner` stopped: the capture is free for the next one.
    void Release(uint32_t owner);

    // "asio.capture=<path|-> frames=<n> dropped=<n> skipped=<n> error=<status>"
    std::string DumpLine() const;

private:
    DWORD WriterLoop();
    void Drain();
    bool Claim(uint32_t owner, uint32_t rate, uint32_t channels);
    void StopWriter();

    WnThreadCallbackForwarderT<SimAsioCapture> m_forwarder;
    WnThread m_writer;
    SimHandle m_stopWriter;
    std::vector<int32_t> m_ring;
    std::atomic<uint64_t> m_head{0}; // samples written by the owner
    std::atomic<uint64_t> m_tail{0}; // samples drained by the writer
    std::atomic<bool> m_active{false};
    std::atomic<uint32_t> m_offering{0}; // pacing threads inside Offer
    std::atomic<uint32_t> m_owner{0};
    std::atomic<uint32_t> m_rate{0};
    std::atomic<uint32_t> m_channels{0};
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<uint64_t> m_skipped{0};
    std::atomic<uint64_t> m_frames{0};
    std::atomic<uint32_t> m_error{0};
    std::string m_path;
    uint32_t m_fallbackRate = 0;
    WavWriter m_file; // the writer thread's while it runs
    std::vector<int32_t> m_scratch;
};
