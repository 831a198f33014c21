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
// The engine's owners are the driver's state: the shared buffers exist from
// createBuffers to disposeBuffers (Prepared), the run (threads, timer
// resolution) from start to stop (Running).
//
// Threads: the host's threads call in one at a time (the driver serializes
// them). The streaming thread calls the host's callbacks and never takes a
// lock that request code holds: notifications are fetched by the run's
// notice thread, and what the host must hear reaches the streaming thread
// through AsioHostNotices. Every message to the host while a stream runs is
// sent from the streaming thread, one per change.
#include "AsioChannelSet.h"
#include "AsioConfigStore.h"
#include "AsioHostNotices.h"
#include "AsioSharedBuffers.h"
#include "AsioStreamRun.h"
#include "AsioTickClock.h"
#include "AsioTypes.h"
#include "KorvelAsioClient.h"
#include "KorvelSwitchRing.h"
#include "WnEvent.h"
#include "WnThreadCallbackInterface.h"

#include <atomic>
#include <cstdint>
#include <memory>

class AsioStreamEngine
{
public:
    static constexpr uint32_t DSD_BLOCK_SAMPLES = 64;
    static constexpr uint8_t DSD_SILENCE = 0x96;
    static constexpr unsigned long TIME_INFO_FLAGS =
        kSystemTimeValid | kSamplePositionValid | kSampleRateValid | kSpeedValid;

    // Run on the streaming thread once it has left its loop (see ReleaseOnExit).
    using ExitAction = void (*)(void* context);

    // `config` is the driver's stream configuration, refreshed by the notice
    // thread when the service announces a change.
    AsioStreamEngine(KorvelAsioClient& client, AsioConfigStore& config);
    ~AsioStreamEngine();

    AsioStreamEngine(const AsioStreamEngine&) = delete;
    AsioStreamEngine& operator=(const AsioStreamEngine&) = delete;

    // Replaces the started and stop events (manual-reset, not signalled) and
    // the notices' wake event.
    DWORD CreateEvents();

    // --- createBuffers .. disposeBuffers ---------------------------------------
    // Prepares the buffers of `channels` for the host's entries: ASE_OK,
    // ASE_InvalidParameter for a channel the set does not have, ASE_NoMemory,
    // ASE_InvalidMode for a channel the kernel driver refuses. Every failure
    // leaves nothing prepared. A channel named twice gets one buffer, handed
    // to both entries.
    ASIOError Prepare(AsioChannelSet& channels, ASIOBufferInfo* infos, long count,
                      uint32_t framesPerHalf, bool dsd, ASIOCallbacks* callbacks);
    // Asks the host what it supports; a time-info host gets the time record
    // set up. `sampleRate` and `bufferSize` are what the host was prepared
    // with: a later change of either is what the host is told about.
    void LearnHost(uint32_t sampleRate, uint32_t bufferSize);
    // Disables the active channels, releases their buffers, withdraws the
    // announcement and ends the session; the callback table is null after.
    // The caller stops first.
    void Dispose();
    // Drops the callback table (the host is going); the buffers stay.
    void ForgetHost() { m_callbacks = nullptr; }
    // Keeps the buffers of `set` alive when they belong to this stream (see
    // AsioSharedBuffers). May throw std::bad_alloc, with `set` unchanged.
    void KeepChannels(AsioChannelSet& set);

    // --- start .. stop -----------------------------------------------------------
    // Ends a run a stop from inside a callback left, raises the timer
    // resolution, resets both events, the position, the time record, the
    // shared block and the notices.
    void BeginRun();
    // Starts the threads and waits until the streaming thread has primed
    // the buffers with silence: 0 or the start status.
    DWORD StartThread();
    // Signals the stop event and waits for the threads to end. On the
    // streaming thread it only signals: the thread ends once the host's
    // callback has returned.
    void StopThread();
    // Restores the timer resolution (after StopThread); not on the
    // streaming thread, whose run ends with the next start or stop.
    void EndRun();
    // From start until stop was asked for.
    bool Running() const { return m_run != nullptr && !m_run->StopRequested(); }
    // True once the stop event is signalled (or before the first run).
    bool StopRequested() const;

    // --- what the host is told ----------------------------------------------------
    // Hands `bits` (AsioHostNotices) to the streaming thread.
    void PostNotice(uint32_t bits) { m_notices.Post(bits); }
    // The host accepts a message the service's notices turn into.
    bool HostTakesNotices() const { return m_hostResetRequest || m_hostBufferSizeChange; }
    // The rate or buffer size differs from what the host was last told.
    bool HostConfigStale() const;
    // Sends the host kAsioResetRequest from the calling thread (not while
    // running) and notes the configuration it was told about.
    void ResetHostNow();

    // Copies position and time of the latest switch.
    void SamplePosition(ASIOSamples& position, ASIOTimeStamp& stamp);

    // The host's asioMessage answer; 0 without a callback table.
    long HostMessage(long selector, long value);

    // The last reference went away inside a host callback. The callback
    // table is dropped, the stream stops, and once the streaming thread has
    // left its loop it runs `action` (which destroys the driver and this
    // engine) and ends, holding the module loaded until then. False when
    // not called on the streaming thread.
    bool ReleaseOnExit(ExitAction action, void* context);

    bool HasCallbacks() const { return m_callbacks != nullptr; }
    bool Prepared() const { return m_buffers != nullptr; }
    // 0 until the first createBuffers; DSD: blocks of 64 samples.
    uint32_t FramesPerHalf() const { return m_framesPerHalf; }
    // True on the streaming thread itself (inside a host callback). Safe
    // from any thread: it reads only an atomic thread id.
    bool OnStreamingThread() const;
    HANDLE StopEvent() const { return m_stopEvent.GetHandle(); }

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
    uint32_t HostBufferSize() const;
    void ResetTime();

    DWORD Stream() noexcept;
    DWORD Finish(DWORD status) noexcept;
    void FillSilence() noexcept;
    void Switch() noexcept;
    void TellHost(uint32_t bits) noexcept;
    void SetTimeStamp(uint64_t samplePosition, uint64_t systemTimeNs) noexcept;

    KorvelAsioClient& m_client;
    AsioConfigStore& m_config;
    ASIOCallbacks* m_callbacks = nullptr;
    bool m_hostResetRequest = false;
    bool m_hostTimeInfo = false;
    bool m_hostBufferSizeChange = false;
    uint32_t m_framesPerHalf = 0;
    bool m_dsd = false;
    // What the host was last told: written by the host thread while no
    // stream runs, by the streaming thread while one does.
    uint32_t m_toldRate = 0;
    uint32_t m_toldSize = 0;
    uint64_t m_samplePosition = 0;
    AsioTickClock m_clock;
    WnEvent m_startedEvent;
    WnEvent m_stopEvent;
    AsioHostNotices m_notices;
    CRITICAL_SECTION m_lock; // guards the position, time and rate of m_time only
    ASIOTime m_time = {};
    std::unique_ptr<AsioSharedBuffers> m_buffers;
    std::unique_ptr<AsioStreamRun> m_run;
    std::atomic<DWORD> m_streamingThreadId{0};
    WnThreadCallbackForwarderT<AsioStreamEngine> m_body;
    // The diagnostic log's view of the switches: filled on the streaming
    // thread without a lock, drained by the log's writer thread.
    KorvelSwitchRing m_switchRing;
    uint64_t m_switchIndex = 0;
    DWORD m_threadStartFault = 0;
    ExitAction m_exitAction = nullptr;
    void* m_exitContext = nullptr;
    HMODULE m_exitModule = nullptr;
};
