#include "AsioStreamEngine.h"

#include "KorvelLog.h"

#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "WnCriticalSectionLock.h"

#include <mmsystem.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr size_t PCM_HALF_BYTES_PER_FRAME = 4;  // one 32-bit sample
constexpr size_t DSD_HALF_BYTES_PER_BLOCK = 8; // 64 one-bit samples
constexpr uint64_t NS_PER_MS = 1000000;
// An address inside this module, for the module reference of a deferred release.
const char MODULE_ANCHOR = 0;

ASIOSamples Split(uint64_t value)
{
    return ASIOSamples{static_cast<unsigned long>(value >> 32),
                       static_cast<unsigned long>(value & 0xFFFFFFFFu)};
}

uint64_t Address(const void* pointer)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pointer));
}

} // namespace

AsioStreamEngine::AsioStreamEngine(KorvelAsioClient& client, AsioConfigStore& config)
    : m_client(client), m_config(config)
{
    InitializeCriticalSection(&m_lock);
    m_body.Bind(this, &AsioStreamEngine::Stream);
    KorvelLog::AddRing(m_switchRing);
}

AsioStreamEngine::~AsioStreamEngine()
{
    // The owner stops and disposes first; this only keeps a forgotten run
    // from outliving the objects its threads use.
    m_run.reset();
    m_buffers.reset();
    KorvelLog::RemoveRing(m_switchRing);
    DeleteCriticalSection(&m_lock);
}

DWORD AsioStreamEngine::CreateEvents()
{
    DWORD status = m_startedEvent.Create(TRUE, FALSE);
    if (status == ERROR_SUCCESS) {
        status = m_stopEvent.Create(TRUE, FALSE);
    }
    return status != ERROR_SUCCESS ? status : m_notices.Create();
}

// --- Buffers ------------------------------------------------------------------------

ASIOError AsioStreamEngine::Prepare(AsioChannelSet& channels, ASIOBufferInfo* infos, long count,
                                    uint32_t framesPerHalf, bool dsd, ASIOCallbacks* callbacks)
{
    m_framesPerHalf = framesPerHalf;
    m_dsd = dsd;
    m_callbacks = callbacks;
    ResetTime(); // a new stream starts at position 0, whatever the last one reached
    channels.ReleaseActive();
    ASIOError result = PrepareSession(channels);
    for (long i = 0; result == ASE_OK && i < count; ++i) {
        result = PrepareChannel(infos[i]);
    }
    if (result != ASE_OK) {
        Dispose(); // undoes everything prepared so far
    }
    return result;
}

ASIOError AsioStreamEngine::PrepareSession(AsioChannelSet& channels)
{
    m_buffers.reset(new (std::nothrow) AsioSharedBuffers(channels));
    if (m_buffers == nullptr || m_buffers->Create() != ERROR_SUCCESS) {
        return ASE_NoMemory;
    }
    KorvelAsioBufferSetup setup{};
    setup.sharedBlock = Address(m_buffers->Block());
    setup.bufferEvent = Address(m_buffers->BufferEvent());
    setup.framesPerHalf = m_framesPerHalf;
    if (m_client.AsioCreateBuffers(setup) != ERROR_SUCCESS) {
        return ASE_NoMemory;
    }
    m_buffers->MarkAnnounced();
    return ASE_OK;
}

bool AsioStreamEngine::ChannelBufferBytes(size_t& bytes) const
{
    // Both halves; a size no address space or half-length field holds is
    // refused rather than wrapped.
    const uint64_t perUnit = m_dsd ? DSD_HALF_BYTES_PER_BLOCK : PCM_HALF_BYTES_PER_FRAME;
    const uint64_t half = uint64_t{m_framesPerHalf} * perUnit;
    if (half > UINT32_MAX || 2 * half > SIZE_MAX) {
        return false;
    }
    bytes = static_cast<size_t>(2 * half);
    return true;
}

ASIOError AsioStreamEngine::PrepareChannel(ASIOBufferInfo& info)
{
    info.buffers[0] = nullptr;
    info.buffers[1] = nullptr;
    AsioChannelSet& channels = m_buffers->Channels();
    AsioChannel* channel = channels.Find(info.isInput != ASIOFalse, info.channelNum);
    if (channel == nullptr) {
        return ASE_InvalidParameter;
    }
    size_t bytes = 0;
    if (!ChannelBufferBytes(bytes)) {
        return ASE_NoMemory;
    }
    // Only the channels of this call have buffers (the active ones were
    // released above): a channel named again gets the buffer it already has,
    // whose pointers the host holds from the earlier entry.
    if (!channel->HasBuffer()) {
        if (!channel->Buffer().Allocate(bytes)) {
            return ASE_NoMemory;
        }
        try {
            channels.Activate(channel);
        } catch (const std::bad_alloc&) {
            channel->Buffer().Release();
            return ASE_NoMemory;
        }
        // Hosts write through the pointers they get: a channel the kernel
        // driver refuses fails the whole preparation rather than hand out
        // null pointers.
        if (!channel->IsDummy() && !AnnounceChannel(*channel)) {
            return ASE_InvalidMode;
        }
    }
    auto* base = static_cast<uint8_t*>(channel->Buffer().Address());
    info.buffers[0] = base;
    info.buffers[1] = base + bytes / 2;
    return ASE_OK;
}

bool AsioStreamEngine::AnnounceChannel(AsioChannel& channel)
{
    const KorvelChannelKey id = channel.Info().id;
    if (m_client.AsioEnableChannel(id) != ERROR_SUCCESS) {
        return false;
    }
    KorvelAsioChannelBuffer buffer{};
    buffer.id = id;
    buffer.halfBytes = static_cast<uint32_t>(channel.Buffer().Length() / 2);
    buffer.formatWord = KORVEL_ASIO_CHANNEL_BUFFER_FORMAT_WORD;
    buffer.buffer = Address(channel.Buffer().Address());
    return m_client.AsioSetChannelBuffer(buffer) == ERROR_SUCCESS;
}

void AsioStreamEngine::LearnHost(uint32_t sampleRate, uint32_t bufferSize)
{
    m_toldRate = sampleRate;
    m_toldSize = bufferSize;
    m_hostTimeInfo = HostMessage(kAsioSupportsTimeInfo, 0) > 0;
    if (m_hostTimeInfo) {
        WnCriticalSectionLock guard(m_lock);
        m_time = ASIOTime{};
        m_time.timeInfo.speed = 1.0;
        m_time.timeInfo.sampleRate = static_cast<ASIOSampleRate>(sampleRate);
        m_time.timeInfo.flags = TIME_INFO_FLAGS;
    }
    if (HostMessage(kAsioSelectorSupported, kAsioEngineVersion) > 0) {
        (void)HostMessage(kAsioEngineVersion, 0);
    }
    m_hostResetRequest = HostMessage(kAsioSelectorSupported, kAsioResetRequest) > 0;
    m_hostBufferSizeChange = HostMessage(kAsioSelectorSupported, kAsioBufferSizeChange) > 0;
    (void)HostMessage(kAsioSelectorSupported, kAsioResyncRequest);
    (void)HostMessage(kAsioSelectorSupported, kAsioLatenciesChanged);
}

void AsioStreamEngine::Dispose()
{
    m_callbacks = nullptr;
    if (m_buffers == nullptr) {
        return;
    }
    AsioChannelSet& channels = m_buffers->Channels();
    channels.ForEachActive([this](AsioChannel& channel) {
        if (!channel.IsDummy()) {
            (void)m_client.AsioDisableChannel(channel.Info().id);
        }
    });
    // A set the driver no longer lists keeps its buffers until the kernel
    // driver has let go of them: they go with the session, below.
    if (!m_buffers->OwnsChannels()) {
        channels.ReleaseActive();
    }
    if (m_buffers->Announced()) {
        (void)m_client.AsioDisposeBuffers();
    }
    m_buffers.reset(); // the buffer event, the shared block, a kept set
}

void AsioStreamEngine::KeepChannels(AsioChannelSet& set)
{
    if (m_buffers != nullptr) {
        m_buffers->KeepChannels(set);
    }
}

const KorvelAsioSharedBlock* AsioStreamEngine::SharedBlock() const
{
    return m_buffers != nullptr ? m_buffers->Block() : nullptr;
}

uint32_t AsioStreamEngine::HostBufferSize() const
{
    return m_config.BufferSize() * (m_dsd ? DSD_BLOCK_SAMPLES : 1);
}

void AsioStreamEngine::ResetTime()
{
    WnCriticalSectionLock guard(m_lock);
    m_samplePosition = 0;
    m_time.timeInfo.samplePosition = ASIOSamples{};
    m_time.timeInfo.systemTime = ASIOTimeStamp{};
}

// --- Start and stop ---------------------------------------------------------------------

void AsioStreamEngine::BeginRun()
{
    EndRun(); // a run left by a stop from the streaming thread ends first
    (void)m_stopEvent.Reset();
    (void)m_startedEvent.Reset();
    m_notices.Clear();
    ResetTime();
    if (m_buffers != nullptr) {
        // The counter counts this stream's switches only.
        *m_buffers->Block() = KorvelAsioSharedBlock{};
    }
    m_run.reset(new (std::nothrow) AsioStreamRun(m_stopEvent, m_client, m_config, m_notices));
}

DWORD AsioStreamEngine::StartThread()
{
    if (m_run == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD status = m_threadStartFault != 0 ? m_threadStartFault : m_run->Start(&m_body);
    m_threadStartFault = 0;
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // The thread signals the started event before anything that could keep
    // it from running on; should it still end first, start returns anyway.
    HANDLE waits[2] = {m_startedEvent.GetHandle(), m_run->Thread()};
    (void)WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return ERROR_SUCCESS;
}

void AsioStreamEngine::StopThread()
{
    if (m_run != nullptr) {
        m_run->Join();
    } else {
        (void)m_stopEvent.Set();
    }
}

void AsioStreamEngine::EndRun()
{
    if (OnStreamingThread()) {
        return;
    }
    m_run.reset();
    m_streamingThreadId.store(0, std::memory_order_release);
}

bool AsioStreamEngine::StopRequested() const
{
    return m_stopEvent.GetHandle() == nullptr ||
           WaitForSingleObject(m_stopEvent.GetHandle(), 0) == WAIT_OBJECT_0;
}

bool AsioStreamEngine::OnStreamingThread() const
{
    const DWORD id = m_streamingThreadId.load(std::memory_order_acquire);
    return id != 0 && id == GetCurrentThreadId();
}

bool AsioStreamEngine::ReleaseOnExit(ExitAction action, void* context)
{
    if (!OnStreamingThread()) {
        return false;
    }
    // The module stays loaded until the thread has run its last instruction
    // in it: a host may unload the driver as soon as the release returns.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&MODULE_ANCHOR), &m_exitModule)) {
        m_exitModule = nullptr;
    }
    m_exitAction = action;
    m_exitContext = context;
    m_callbacks = nullptr; // the host is gone: no more switches or messages
    (void)m_stopEvent.Set();
    return true;
}

// --- What the host is told --------------------------------------------------------------

bool AsioStreamEngine::HostConfigStale() const
{
    return m_config.CurrentRate() != m_toldRate || HostBufferSize() != m_toldSize;
}

void AsioStreamEngine::ResetHostNow()
{
    m_toldRate = m_config.CurrentRate();
    m_toldSize = HostBufferSize();
    (void)HostMessage(kAsioResetRequest, 0);
}

void AsioStreamEngine::TellHost(uint32_t bits) noexcept
{
    // One message for everything posted since the last one. The service
    // announces a rate change as a streaming change followed by a rate
    // change; the reset that answers the first already covers the second.
    const uint32_t rate = m_config.CurrentRate();
    const uint32_t size = HostBufferSize();
    const bool changed = rate != m_toldRate || size != m_toldSize;
    long selector = 0;
    long value = 0;
    if ((bits & AsioHostNotices::DRIVER_RESET) != 0 ||
        ((bits & AsioHostNotices::STREAMING_CHANGED) != 0 && m_hostResetRequest)) {
        selector = kAsioResetRequest;
    } else if ((bits & AsioHostNotices::RATE_CHANGED) != 0 && changed) {
        if (m_hostBufferSizeChange) {
            selector = kAsioBufferSizeChange;
            value = static_cast<long>(size); // hosts read the new size here
        } else if (m_hostResetRequest) {
            selector = kAsioResetRequest;
        }
    }
    if (selector == 0) {
        return; // nothing the host accepts, or nothing new
    }
    m_toldRate = rate;
    m_toldSize = size;
    (void)HostMessage(selector, value);
}

void AsioStreamEngine::SamplePosition(ASIOSamples& position, ASIOTimeStamp& stamp)
{
    WnCriticalSectionLock guard(m_lock);
    position = m_time.timeInfo.samplePosition;
    stamp = m_time.timeInfo.systemTime;
}

long AsioStreamEngine::HostMessage(long selector, long value)
{
    if (m_callbacks == nullptr || m_callbacks->asioMessage == nullptr) {
        return 0;
    }
    return m_callbacks->asioMessage(selector, value, nullptr, nullptr);
}

// --- The streaming thread ------------------------------------------------------------------

DWORD AsioStreamEngine::Stream() noexcept
{
    m_streamingThreadId.store(GetCurrentThreadId(), std::memory_order_release);
    m_switchIndex = 0;
    KorvelAsioSharedBlock* block = m_buffers->Block();
    // The stop event first: a buffer event that is always pending (a host
    // slower than the period) must not keep a stop from taking effect. The
    // notices before the buffer event for the same reason.
    HANDLE waits[3] = {m_stopEvent.GetHandle(), m_notices.WakeEvent(), m_buffers->BufferEvent()};
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    FillSilence();
    (void)m_startedEvent.Set();

    volatile uint32_t& index = block->bufferIndex;
    index = 0;
    Switch();
    index = 1;
    Switch();
    if (m_client.AsioStart() != ERROR_SUCCESS) {
        // No switch will follow until stop and start: the host is asked to
        // start over rather than wait on a stream that never moves.
        (void)HostMessage(kAsioResetRequest, 0);
        return Finish(ERROR_NOT_READY);
    }
    auto* counter = reinterpret_cast<volatile LONG*>(&block->switchCount);
    for (;;) {
        DWORD woken = WaitForMultipleObjects(3, waits, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 + 2) {
            Switch();
            (void)InterlockedIncrement(counter);
        } else if (woken == WAIT_OBJECT_0 + 1) {
            TellHost(m_notices.Take());
        } else {
            break; // the stop event, or a failed wait
        }
    }
    (void)m_client.AsioStop();
    return Finish(ERROR_SUCCESS);
}

DWORD AsioStreamEngine::Finish(DWORD status) noexcept
{
    if (m_exitAction == nullptr) {
        return status;
    }
    // The driver was released inside a callback: destroy it here, now that
    // no callback is running, then leave the module without returning into
    // it (the engine, and maybe the module's last reference, are gone).
    const ExitAction action = m_exitAction;
    void* const context = m_exitContext;
    const HMODULE module = m_exitModule;
    action(context);
    if (module != nullptr) {
        FreeLibraryAndExitThread(module, status);
    }
    return status;
}

void AsioStreamEngine::FillSilence() noexcept
{
    m_buffers->Channels().ForEachActive([](AsioChannel& channel) {
        AsioVirtualMemory& buffer = channel.Buffer();
        if (buffer.Address() != nullptr) {
            std::memset(buffer.Address(), channel.IsDsd() ? DSD_SILENCE : 0, buffer.Length());
        }
    });
}

void AsioStreamEngine::SetTimeStamp(uint64_t samplePosition, uint64_t systemTimeNs) noexcept
{
    WnCriticalSectionLock guard(m_lock);
    m_time.timeInfo.samplePosition = Split(samplePosition);
    m_time.timeInfo.systemTime = Split(systemTimeNs);
    if (m_hostTimeInfo) {
        // The rate the device streams at now, not the one of createBuffers.
        m_time.timeInfo.sampleRate = static_cast<ASIOSampleRate>(m_config.CurrentRate());
    }
}

void AsioStreamEngine::Switch() noexcept
{
    // Nothing here allocates, asks the kernel driver or calls the system
    // beyond the clock and the short lock: all of it was prepared before.
    const uint64_t systemTimeNs = m_clock.Milliseconds() * NS_PER_MS;
    const long index = static_cast<long>(m_buffers->Block()->bufferIndex & 1u);
    SetTimeStamp(m_samplePosition, systemTimeNs);
    if (m_callbacks == nullptr) {
        return; // released inside the previous callback
    }
    // With the log off this costs the one load of IsOn; on, two reads of
    // the time-stamp counter and a push into the ring, never a format or a write.
    const bool logged = KORVEL_LOG_ON(KORVEL_LOG_INFO);
    const uint64_t began = logged ? KorvelSwitchRing::Ticks() : 0;
    if (m_hostTimeInfo) {
        if (m_callbacks->bufferSwitchTimeInfo != nullptr) {
            (void)m_callbacks->bufferSwitchTimeInfo(&m_time, index, ASIOTrue);
        }
    } else if (m_callbacks->bufferSwitch != nullptr) {
        m_callbacks->bufferSwitch(index, ASIOTrue);
    }
    if (logged) {
        const uint64_t ended = KorvelSwitchRing::Ticks();
        (void)m_switchRing.Push({m_switchIndex, began, static_cast<uint32_t>(ended - began), 0});
    }
    ++m_switchIndex;
    m_samplePosition += uint64_t{m_framesPerHalf} * (m_dsd ? DSD_BLOCK_SAMPLES : 1);
}
