#pragma once
// The moving half of the driver object: it prepares the double buffers the
// host and the kernel driver share, runs the streaming thread that turns the
// kernel driver's buffer events into the host's buffer-switch calls, keeps
// the sample position and time stamps, and passes the service's
// configuration notices on to the host.
//
// Buffer layout: a channel's buffer holds both halves back to back, half 0
// at the address and half 1 at address + length / 2. A PCM half is N 32-bit
// samples (length N x 8), a DSD half N blocks of 64 one-bit samples, 8 bytes
// a block (length N x 16).
//
// The driver object keeps the state word and checks it; the engine owns what
// each state holds: the shared buffers from createBuffers to disposeBuffers
// and the run (thread, timer resolution) from start to stop.
#include "AsioChannelSet.h"
#include "AsioSharedBuffers.h"
#include "AsioStreamRun.h"
#include "AsioTypes.h"
#include "KorvelAsioClient.h"
#include "WnEvent.h"
#include "WnThreadCallbackInterface.h"

#include <cstdint>
#include <memory>

class AsioStreamEngine
{
public:
    static constexpr uint32_t DSD_BLOCK_SAMPLES = 64;
    static constexpr uint8_t DSD_SILENCE = 0x96;
    static constexpr unsigned long TIME_INFO_FLAGS =
        kSystemTimeValid | kSamplePositionValid | kSampleRateValid | kSpeedValid;

    // `config` is the driver's cached stream configuration, read again when
    // the service announces a change.
    AsioStreamEngine(KorvelAsioClient& client, KorvelAsioStreamConfig& config);
    ~AsioStreamEngine();

    AsioStreamEngine(const AsioStreamEngine&) = delete;
    AsioStreamEngine& operator=(const AsioStreamEngine&) = delete;

    // Replaces the started and stop events (manual-reset, not signalled).
    DWORD CreateEvents();

    // --- createBuffers .. disposeBuffers ---------------------------------------
    // Prepares the buffers of `channels` for the host's entries: ASE_OK,
    // ASE_InvalidParameter for a channel the set does not have, ASE_NoMemory.
    // Every failure leaves nothing prepared.
    ASIOError Prepare(AsioChannelSet& channels, ASIOBufferInfo* infos, long count,
                      uint32_t framesPerHalf, bool dsd, ASIOCallbacks* callbacks);
    // Asks the host what it supports; a time-info host gets the time record
    // set up with `sampleRate`.
    void LearnHost(uint32_t sampleRate);
    // Disables the active channels, releases their buffers, withdraws the
    // announcement and ends the session; the callback table is null after.
    // The caller stops first.
    void Dispose();
    // Keeps the buffers of `set` alive when they belong to this stream (see
    // AsioSharedBuffers). May throw std::bad_alloc, with `set` unchanged.
    void KeepChannels(AsioChannelSet& set);

    // --- start .. stop -----------------------------------------------------------
    // Raises the timer resolution and resets both events.
    void BeginRun();
    // Starts the thread and waits until it has primed the buffers with
    // silence: 0 or the thread's start status.
    DWORD StartThread();
    // Signals the stop event and waits for the thread to end.
    void StopThread();
    // Restores the timer resolution (after StopThread).
    void EndRun();

    // Copies position and time of the latest switch.
    void SamplePosition(ASIOSamples& position, ASIOTimeStamp& stamp);

    // The host's asioMessage answer; 0 without a callback table.
    long HostMessage(long selector, long value);

    bool HasCallbacks() const { return m_callbacks != nullptr; }
    bool Prepared() const { return m_buffers != nullptr; }
    // 0 until the first createBuffers; DSD: blocks of 64 samples.
    uint32_t FramesPerHalf() const { return m_framesPerHalf; }
    // True on the streaming thread itself (inside a host callback).
    bool OnStreamingThread() const;

    // For tests: the shared block, whether the timer resolution is raised,
    // and a status the next thread start fails with (0: none).
    const KorvelAsioSharedBlock* SharedBlock() const;
    bool TimerRaised() const { return m_run != nullptr && m_run->TimerRaised(); }
    void FailNextThreadStart(DWORD status) { m_threadStartFault = status; }

private:
    ASIOError PrepareSession(AsioChannelSet& channels);
    ASIOError PrepareChannel(ASIOBufferInfo& info);
    bool AnnounceChannel(AsioChannel& channel);
    bool ChannelBufferBytes(size_t& bytes) const;

    DWORD Stream() noexcept;
    void FillSilence() noexcept;
    void Switch() noexcept;
    void HandleNotifications() noexcept;
    void SetTimeStamp(uint64_t samplePosition, uint64_t systemTimeNs) noexcept;

    KorvelAsioClient& m_client;
    KorvelAsioStreamConfig& m_config;
    ASIOCallbacks* m_callbacks = nullptr;
    bool m_hostResetRequest = false;
    bool m_hostTimeInfo = false;
    bool m_hostBufferSizeChange = false;
    uint32_t m_framesPerHalf = 0;
    bool m_dsd = false;
    uint64_t m_systemTimeNs = 0;
    uint64_t m_samplePosition = 0;
    WnEvent m_startedEvent;
    WnEvent m_stopEvent;
    CRITICAL_SECTION m_lock; // guards the position and time of m_time only
    ASIOTime m_time = {};
    std::unique_ptr<AsioSharedBuffers> m_buffers;
    std::unique_ptr<AsioStreamRun> m_run;
    WnThreadCallbackForwarderT<AsioStreamEngine> m_body;
    DWORD m_threadStartFault = 0;
};
