#pragma once
// Records the host's input buffers to a WAV file without touching the disk
// on the callback thread: the callback copies each half into a preallocated
// ring (no allocation, no system call), and a writer thread of the recorder
// drains the ring into the file. Frames that find the ring full are counted
// as dropped, never waited for.
#include "WavWriter.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class HostRecorder
{
public:
    HostRecorder() = default;
    ~HostRecorder();
    HostRecorder(const HostRecorder&) = delete;
    HostRecorder& operator=(const HostRecorder&) = delete;

    // Creates the file for `channels` 32-bit channels at `rate` and starts
    // the writer, with room for `ringSeconds` of audio: 0 or the status.
    DWORD Open(const std::wstring& path, uint32_t rate, uint32_t channels, double ringSeconds = 4);
    // Callback thread: appends `frames` frames, channel c read from halves[c].
    void Push(const int32_t* const* halves, uint32_t channels, uint32_t frames);
    // Stops the writer, writes what is left and finishes the file: 0 or the
    // first status of writing. Nothing when not open.
    DWORD Close();

    bool IsOpen() const { return m_open; }
    uint32_t Rate() const { return m_rate; }
    uint32_t Channels() const { return m_channels; }
    uint64_t FramesWritten() const { return m_written; }
    uint64_t FramesDropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    void WriterLoop();
    // Writes the frames the callback has completed; false after a write failed.
    bool Drain();

    WavWriter m_wav;
    std::vector<int32_t> m_ring;
    size_t m_ringFrames = 0;
    uint32_t m_rate = 0;
    uint32_t m_channels = 0;
    // Frames ever pushed (head) and ever written (tail); head - tail is in the ring.
    std::atomic<uint64_t> m_head{0};
    std::atomic<uint64_t> m_tail{0};
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<bool> m_stop{false};
    std::thread m_writer;
    uint64_t m_written = 0;
    DWORD m_status = 0;
    bool m_open = false;
};
