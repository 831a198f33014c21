#include "AsioDriver.h"

#include "AsioCallLog.h"

#include "AsioCallGuard.h"
#include "AsioModule.h"
#include "AsioText.h"
#include "KorvelStatus.h"

#include <climits>
#include <cmath>
#include <cwchar>
#include <cstdlib>
#include <new>

namespace {

constexpr const wchar_t* NO_DEVICE_TEXT = L"No device is connected to the PC.";
constexpr size_t DRIVER_NAME_CHARS = 32;
constexpr size_t ERROR_MESSAGE_CHARS = 124;
constexpr size_t CHANNEL_NAME_CHARS = 32;
constexpr uint32_t PCM_MAX_RATE = 384000;
constexpr long MIN_TABLE_SIZE = 16;
constexpr long MAX_TABLE_SIZE = 65536;
constexpr uint32_t DSD_BLOCK_SAMPLES = AsioStreamEngine::DSD_BLOCK_SAMPLES;

} // namespace

CUnknown* AsioDriver::CreateInstance(LPUNKNOWN outer, HRESULT* result)
{
    return new (std::nothrow) AsioDriver(outer, result);
}

AsioDriver::AsioDriver(LPUNKNOWN outer, HRESULT* result)
    : CUnknown(L"ASIODRV", outer, result), m_custom(new (std::nothrow) AsioCustom())
{
    InitializeCriticalSection(&m_callLock);
    if (m_custom == nullptr && result != nullptr) {
        *result = E_OUTOFMEMORY; // the factory destroys the object again
    }
}

AsioDriver::~AsioDriver()
{
    // A host that releases the driver is done with it: the stream ends and
    // nothing (no reset request from the format switch below) calls into
    // the host's callbacks any more, which may be gone already. No other
    // host call can be running (the last reference is gone), so no guard;
    // on the streaming thread (a release inside a callback, carried out
    // once the callback has returned) the stream has left its loop already.
    StopStream();
    m_engine.ForgetHost();
    if (m_dsdMode) {
        (void)SwitchStreamFormat(false);
    }
    DisposeStream();
    m_custom.reset();
    m_pcmSet.Clear();
    m_dsdSet.Clear();
    m_client.CloseAll();
    DeleteCriticalSection(&m_callLock);
}

void AsioDriver::DestroySelf()
{
    if (!m_engine.ReleaseOnExit(&AsioDriver::DestroyDeferred, this)) {
        delete this;
    }
}

void AsioDriver::DestroyDeferred(void* driver)
{
    delete static_cast<AsioDriver*>(driver);
}

AsioDriver::State AsioDriver::CurrentState() const
{
    if (!m_initialized) {
        return LOADED;
    }
    if (!m_engine.Prepared()) {
        return INITIALIZED;
    }
    return m_engine.Running() ? RUNNING : PREPARED;
}

// --- IUnknown ---------------------------------------------------------------

HRESULT AsioDriver::QueryInterface(REFIID riid, void** ppv)
{
    return GetOwner()->QueryInterface(riid, ppv);
}

ULONG AsioDriver::AddRef()
{
    return GetOwner()->AddRef();
}

ULONG AsioDriver::Release()
{
    return GetOwner()->Release();
}

HRESULT AsioDriver::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (riid == CLSID_BRINDLE_ASIO) {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        return GetInterface(static_cast<IASIO*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

// --- Opening ------------------------------------------------------------------

ASIOBool AsioDriver::init(void*)
{
    AsioCallGuard call(m_callLock, m_engine);
    if (!call.Held()) {
        return ASIOFalse;
    }
    if (m_initialized) {
        return ASIOTrue;
    }
    if (m_engine.CreateEvents() != ERROR_SUCCESS) {
        return ASIOFalse;
    }
    if (m_client.OpenWithBothEvents(m_custom->getDeviceName()) != ERROR_SUCCESS) {
        SetErrorText(NO_DEVICE_TEXT);
        return ASIOFalse;
    }
    if (m_client.SetClientType(KORVEL_CLIENT_ASIO) != ERROR_SUCCESS) {
        SetErrorText(NO_DEVICE_TEXT);
        m_client.CloseAll();
        return ASIOFalse;
    }
    if (!WaitUntilReady()) {
        m_client.CloseAll();
        return ASIOFalse;
    }
    ReadStreamConfig();
    m_pcmSet.Clear();
    m_dsdSet.Clear();
    // A channel list that cannot be read has closed the connection: the
    // driver is then not usable, and init says so instead of succeeding.
    if (RebuildChannelSets() != ERROR_SUCCESS) {
        return ASIOFalse;
    }
    m_initialized = true;
    return ASIOTrue;
}

bool AsioDriver::WaitUntilReady()
{
    for (int attempt = 0; attempt <= READY_RETRIES; ++attempt) {
        KorvelStreamingState state{};
        if (m_client.GetStreamingState(state) != ERROR_SUCCESS) {
            return false;
        }
        if (state.state == KORVEL_STREAMING_STATE_RUNNING) {
            return true;
        }
        if (state.state == KORVEL_STREAMING_STATE_ERROR) {
            return false;
        }
        if (attempt < READY_RETRIES) {
            Sleep(READY_RETRY_MS);
        }
    }
    return false;
}

void AsioDriver::SetErrorText(const wchar_t* text)
{
    AsioText::Copy(m_errorText, ERROR_TEXT_CHARS, text, ERROR_TEXT_CHARS);
}

void AsioDriver::ReadStreamConfig()
{
    (void)m_config.Refresh(m_client);
}

// --- Channel sets -------------------------------------------------------------

DWORD AsioDriver::RebuildChannelSets()
{
    KorvelAsioChannelList list{};
    DWORD status = m_client.AsioGetChannelList(list);
    if (status != ERROR_SUCCESS) {
        SetErrorText(NO_DEVICE_TEXT);
        // A stream cannot go on without the connection, and its notice
        // thread must not be using it while it closes.
        StopStream();
        m_client.CloseAll();
        return status;
    }
    try {
        AsioChannelSet pcm;
        AsioChannelSet dsd;
        FillChannelSets(list, pcm, dsd);
        if (m_pcmSet.SameLayout(pcm) && m_dsdSet.SameLayout(dsd)) {
            return ERROR_SUCCESS; // the current records keep their buffers
        }
        // Records whose buffers the kernel driver may still write to stay
        // alive with the stream until disposeBuffers has withdrawn them.
        m_engine.KeepChannels(m_pcmSet);
        m_engine.KeepChannels(m_dsdSet);
        m_pcmSet.Clear();
        m_dsdSet.Clear();
        FillChannelSets(list, m_pcmSet, m_dsdSet);
    } catch (const std::bad_alloc&) {
        return KORVEL_STATUS_NO_MEMORY;
    }
    return ERROR_SUCCESS;
}

void AsioDriver::FillChannelSets(const KorvelAsioChannelList& list, AsioChannelSet& pcm,
                                 AsioChannelSet& dsd)
{
    for (const KorvelChannelList& table : list.tables) {
        for (uint32_t i = 0; i < table.count && i < KORVEL_MAX_CHANNELS; ++i) {
            KorvelAsioChannelInfo info{};
            if (m_client.AsioGetChannelInfo(table.keys[i], info) != ERROR_SUCCESS) {
                continue; // a channel the kernel driver cannot describe is left out
            }
            auto channel = std::make_unique<AsioChannel>(info);
            (channel->IsDsd() ? dsd : pcm).Append(std::move(channel));
        }
    }
    // Hosts expect somewhere to play to.
    if (pcm.OutputCount() == 0) {
        pcm.AppendDummyOutputs();
    }
}

// --- Names and channels -----------------------------------------------------------

void AsioDriver::getDriverName(char* name)
{
    AsioText::Narrow(name, DRIVER_NAME_CHARS, m_custom->getName(), DRIVER_NAME_CHARS);
}

long AsioDriver::getDriverVersion()
{
    return DRIVER_VERSION;
}

void AsioDriver::getErrorMessage(char* string)
{
    AsioCallGuard call(m_callLock, m_engine);
    AsioText::Narrow(string, ERROR_MESSAGE_CHARS, m_errorText, ERROR_TEXT_CHARS);
}

ASIOError AsioDriver::getChannels(long* numInputChannels, long* numOutputChannels)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        if (numInputChannels == nullptr || numOutputChannels == nullptr) {
            return ASE_InvalidParameter;
        }
        AsioCallGuard call(m_callLock, m_engine);
        if (!call.Held()) {
            return ASE_InvalidMode;
        }
        AsioChannelSet& set = CurrentSet();
        *numInputChannels = static_cast<long>(set.InputCount());
        *numOutputChannels = static_cast<long>(set.OutputCount());
        return set.IsEmpty() ? ASE_NotPresent : ASE_OK;
    }(), "getChannels");
}

ASIOError AsioDriver::getChannelInfo(ASIOChannelInfo* info)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        if (info == nullptr) {
            return ASE_InvalidParameter;
        }
        AsioCallGuard call(m_callLock, m_engine);
        if (!call.Held()) {
            return ASE_InvalidMode;
        }
        AsioChannel* channel = CurrentSet().Find(info->isInput != ASIOFalse, info->channel);
        if (channel == nullptr) {
            return ASE_NotPresent;
        }
        info->type = channel->IsDsd() ? ASIOSTDSDInt8MSB1 : ASIOSTInt32LSB;
        info->channelGroup = 0;
        info->isActive = channel->HasBuffer() ? ASIOTrue : ASIOFalse;
        AsioText::Narrow(info->name, CHANNEL_NAME_CHARS, channel->Info().name,
                         KORVEL_CHANNEL_NAME_CHARS);
        return ASE_OK;
    }(), "getChannelInfo channel=%ld", info != nullptr ? info->channel : -1L);
}

ASIOError AsioDriver::getLatencies(long* inputLatency, long* outputLatency)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        if (inputLatency == nullptr || outputLatency == nullptr) {
            return ASE_InvalidParameter;
        }
        KorvelAsioLatencies latencies{};
        if (m_client.AsioGetLatencies(latencies) != ERROR_SUCCESS) {
            *inputLatency = 0;
            *outputLatency = 0;
            return ASE_OK;
        }
        const uint32_t frames = m_engine.FramesPerHalf();
        *inputLatency = static_cast<long>(frames + latencies.inputFrames);
        *outputLatency = static_cast<long>(frames + latencies.outputFrames);
        return ASE_OK;
    }(), "getLatencies");
}

// --- Buffer sizes and sample rates --------------------------------------------------

void AsioDriver::BufferSizeRange(long preferred, long& minimum, long& maximum)
{
    minimum = maximum = preferred;
    if (preferred <= MIN_TABLE_SIZE || preferred > MAX_TABLE_SIZE) {
        return;
    }
    for (long size = MIN_TABLE_SIZE; size <= MAX_TABLE_SIZE; size *= 2) {
        if (size <= preferred) {
            minimum = size;
        }
        if (size >= preferred) {
            maximum = size;
            break;
        }
    }
}

ASIOError AsioDriver::getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                                    long* granularity)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        if (minSize == nullptr || maxSize == nullptr || preferredSize == nullptr ||
            granularity == nullptr) {
            return ASE_InvalidParameter;
        }
        AsioCallGuard call(m_callLock, m_engine);
        if (!call.Held()) {
            return ASE_InvalidMode;
        }
        ReadStreamConfig();
        *preferredSize = static_cast<long>(HostBufferSize());
        BufferSizeRange(*preferredSize, *minSize, *maxSize);
        *granularity = 0;
        return ASE_OK;
    }(), "getBufferSize");
}

uint32_t AsioDriver::HostBufferSize() const
{
    uint64_t preferred = uint64_t{m_config.BufferSize()} * (m_dsdMode ? DSD_BLOCK_SAMPLES : 1);
    return static_cast<uint32_t>(preferred > LONG_MAX ? LONG_MAX : preferred);
}

bool AsioDriver::OfferedBufferSize(long size) const
{
    // What getBufferSize offers (minimum, preferred, maximum), and the
    // sizes of the table it draws them from: the powers of two from 16 to
    // 65536, which the kernel driver streams at whatever the panel's size
    // is, and which hosts and our own tools choose by number. Anything else
    // (37 frames, 1 frame) no device size ever is.
    const long preferred = static_cast<long>(HostBufferSize());
    long minimum = 0;
    long maximum = 0;
    BufferSizeRange(preferred, minimum, maximum);
    if (size == preferred || size == minimum || size == maximum) {
        return true;
    }
    return size >= MIN_TABLE_SIZE && size <= MAX_TABLE_SIZE && (size & (size - 1)) == 0;
}

bool AsioDriver::TruncateRate(ASIOSampleRate rate, uint32_t& hz)
{
    // Not a number, negative or beyond 32 bits: no rate of any table.
    if (!(rate >= 0.0 && rate < 4294967296.0)) {
        return false;
    }
    hz = static_cast<uint32_t>(std::trunc(rate));
    return true;
}

bool AsioDriver::IsDsdRate(uint32_t hz)
{
    return hz >= KORVEL_DSD_MIN_SAMPLE_RATE && hz <= KORVEL_DSD_MAX_SAMPLE_RATE;
}

bool AsioDriver::RateInTable(const KorvelAsioStreamConfig& config, uint32_t hz)
{
    for (uint32_t i = 0; i < config.rateCount && i < KORVEL_MAX_SAMPLE_RATES; ++i) {
        if (config.rates[i] == hz) {
            return true;
        }
    }
    return false;
}

bool AsioDriver::HasDsdRate() const
{
    return FirstRateOfMode(m_config.Get(), true) != 0;
}

uint32_t AsioDriver::FirstRateOfMode(const KorvelAsioStreamConfig& config, bool dsd)
{
    for (uint32_t i = 0; i < config.rateCount && i < KORVEL_MAX_SAMPLE_RATES; ++i) {
        uint32_t rate = config.rates[i];
        if (dsd ? rate >= KORVEL_DSD_MIN_SAMPLE_RATE : rate <= PCM_MAX_RATE) {
            return rate;
        }
    }
    return 0;
}

ASIOError AsioDriver::canSampleRate(ASIOSampleRate sampleRate)
{
    uint32_t hz = 0;
    return AsioCallLog::Result(
        TruncateRate(sampleRate, hz) && RateInTable(m_config.Get(), hz) ? ASE_OK : ASE_NoClock,
        "canSampleRate rate=%.0f", sampleRate);
}

ASIOError AsioDriver::getSampleRate(ASIOSampleRate* sampleRate)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        if (sampleRate == nullptr) {
            return ASE_InvalidParameter;
        }
        *sampleRate = static_cast<ASIOSampleRate>(m_config.CurrentRate());
        return ASE_OK;
    }(), "getSampleRate");
}

ASIOError AsioDriver::setSampleRate(ASIOSampleRate sampleRate)
{
    AsioCallGuard call(m_callLock, m_engine);
    if (!call.Held()) {
        return ASE_InvalidMode;
    }
    return AsioCallLog::Result(ChangeSampleRate(sampleRate), "setSampleRate rate=%.0f",
                               sampleRate);
}

ASIOError AsioDriver::ChangeSampleRate(ASIOSampleRate sampleRate)
{
    ReadStreamConfig();
    uint32_t hz = 0;
    if (!TruncateRate(sampleRate, hz) || !RateInTable(m_config.Get(), hz) ||
        IsDsdRate(hz) != m_dsdMode) {
        return ASE_NoClock;
    }
    const uint32_t before = m_config.CurrentRate();
    if (m_client.SetSampleRate(hz) != ERROR_SUCCESS) {
        return ASE_HWMalfunction;
    }
    ReadStreamConfig();
    // A channel list that cannot be read closed the connection: the rate
    // may be set, but this driver can no longer stream.
    if (RebuildChannelSets() != ERROR_SUCCESS) {
        return ASE_HWMalfunction;
    }
    if (m_engine.HasCallbacks() && m_config.CurrentRate() != before) {
        TellHostOfRateChange();
    }
    return ASE_OK;
}

void AsioDriver::TellHostOfRateChange()
{
    // One message per change, from one thread. While a stream runs, the
    // service's notices of this change reach the host on the streaming
    // thread; only a host that accepts none of them is asked to reset there
    // by the driver itself. Otherwise no stream runs and the host hears it
    // now.
    if (!m_engine.Running()) {
        m_engine.ResetHostNow();
    } else if (!m_engine.HostTakesNotices()) {
        m_engine.PostNotice(AsioHostNotices::DRIVER_RESET);
    }
}

// --- Clocks -------------------------------------------------------------------------

ASIOError AsioDriver::getClockSources(ASIOClockSource* clocks, long* numSources)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        AsioCallGuard call(m_callLock, m_engine);
        if (!call.Held()) {
            return ASE_InvalidMode;
        }
        if (CurrentSet().IsEmpty()) {
            return ASE_NotPresent;
        }
        if (clocks == nullptr || numSources == nullptr || *numSources < 1) {
            return ASE_InvalidParameter;
        }
        *clocks = ASIOClockSource{};
        clocks->index = 0;
        clocks->associatedChannel = -1;
        clocks->associatedGroup = -1;
        clocks->isCurrentSource = ASIOTrue;
        AsioText::Narrow(clocks->name, sizeof(clocks->name), L"Computer", sizeof(clocks->name));
        *numSources = 1;
        return ASE_OK;
    }(), "getClockSources");
}

ASIOError AsioDriver::setClockSource(long reference)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        AsioCallGuard call(m_callLock, m_engine);
        if (!call.Held()) {
            return ASE_InvalidMode;
        }
        if (CurrentSet().IsEmpty()) {
            return ASE_NotPresent;
        }
        return reference == 0 ? ASE_OK : ASE_InvalidParameter;
    }(), "setClockSource reference=%ld", reference);
}

ASIOError AsioDriver::getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp)
{
    if (sPos == nullptr || tStamp == nullptr) {
        return ASE_InvalidParameter;
    }
    m_engine.SamplePosition(*sPos, *tStamp);
    return ASE_OK;
}

// --- Buffers and streaming -----------------------------------------------------------

ASIOError AsioDriver::createBuffers(ASIOBufferInfo* bufferInfos, long numChannels,
                                    long bufferSize, ASIOCallbacks* callbacks)
{
    AsioCallGuard call(m_callLock, m_engine);
    if (!call.Held()) {
        return ASE_InvalidMode;
    }
    return AsioCallLog::Result(PrepareBuffers(bufferInfos, numChannels, bufferSize, callbacks),
                               "createBuffers channels=%ld bufferSize=%ld", numChannels,
                               bufferSize);
}

ASIOError AsioDriver::PrepareBuffers(ASIOBufferInfo* bufferInfos, long numChannels,
                                     long bufferSize, ASIOCallbacks* callbacks)
{
    if (CurrentState() != INITIALIZED) {
        return ASE_NotPresent;
    }
    // Refused before anything is touched: a negative count names no channels.
    if (numChannels < 0 || bufferSize < 0) {
        return ASE_InvalidParameter;
    }
    long frames = m_dsdMode ? bufferSize / static_cast<long>(DSD_BLOCK_SAMPLES) : bufferSize;
    if (bufferInfos == nullptr || callbacks == nullptr || frames == 0) {
        return ASE_InvalidParameter;
    }
    ReadStreamConfig();
    if (!OfferedBufferSize(bufferSize)) {
        return ASE_InvalidMode; // a size getBufferSize never offered
    }
    ASIOError result = m_engine.Prepare(CurrentSet(), bufferInfos, numChannels,
                                        static_cast<uint32_t>(frames), m_dsdMode, callbacks);
    if (result != ASE_OK) {
        return result;
    }
    m_engine.LearnHost(m_config.CurrentRate(), HostBufferSize());
    return ASE_OK;
}

ASIOError AsioDriver::disposeBuffers()
{
    AsioCallGuard call(m_callLock, m_engine);
    // From inside a host callback the buffers are in use until it returns:
    // refused, so the host can dispose from its own thread.
    if (!call.Held() || m_engine.OnStreamingThread()) {
        return ASE_InvalidMode;
    }
    DisposeStream();
    return AsioCallLog::Result(ASE_OK, "disposeBuffers");
}

void AsioDriver::DisposeStream()
{
    StopStream();
    m_engine.Dispose();
}

ASIOError AsioDriver::start()
{
    AsioCallGuard call(m_callLock, m_engine);
    if (!call.Held()) {
        return ASE_InvalidMode;
    }
    return AsioCallLog::Result(StartStream(), "start");
}

ASIOError AsioDriver::StartStream()
{
    if (m_engine.Running()) {
        return ASE_OK;
    }
    if (!m_engine.Prepared() || !m_engine.HasCallbacks()) {
        return ASE_NotPresent;
    }
    // A stop from inside a callback takes effect when the callback returns;
    // the same thread cannot start the next stream before that.
    if (m_engine.OnStreamingThread()) {
        return ASE_InvalidMode;
    }
    if (!WaitUntilReady()) {
        return ASE_NotPresent;
    }
    // Notices that piled up while not running are stale; what they changed
    // is read now. A rate or buffer size other than the one the host
    // prepared for means its buffers no longer fit: it is asked to reset.
    if (m_client.FlushNotifications() != ERROR_SUCCESS) {
        return ASE_NotPresent;
    }
    ReadStreamConfig();
    const bool stale = m_engine.HostConfigStale();
    if (stale && RebuildChannelSets() != ERROR_SUCCESS) {
        return ASE_NotPresent; // the connection is closed
    }
    m_engine.BeginRun();
    if (stale) {
        m_engine.PostNotice(AsioHostNotices::DRIVER_RESET);
    }
    if (m_engine.StartThread() != ERROR_SUCCESS) {
        // Not running after all: back to Prepared, timer resolution restored.
        m_engine.StopThread();
        m_engine.EndRun();
        return ASE_NotPresent;
    }
    return ASE_OK;
}

ASIOError AsioDriver::stop()
{
    AsioCallGuard call(m_callLock, m_engine);
    // From inside a callback (or when the guard gave up because another
    // thread is stopping) the stop is asked for and takes effect as soon
    // as the callback returns.
    StopStream();
    return AsioCallLog::Result(ASE_OK, "stop");
}

void AsioDriver::StopStream()
{
    m_engine.StopThread();
    m_engine.EndRun();
}

ASIOError AsioDriver::outputReady()
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        // The driver never learns early that the host's output is ready.
        return ASE_NotPresent;
    }(), "outputReady");
}

// --- Control panel and stream format ---------------------------------------------------

ASIOError AsioDriver::controlPanel()
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        AsioCallGuard call(m_callLock, m_engine);
        wchar_t path[MAX_PATH] = {};
        DWORD length = GetModuleFileNameW(AsioModule::Handle(), path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || m_custom == nullptr) {
            return ASE_NotPresent;
        }
        wchar_t drive[_MAX_DRIVE] = {};
        wchar_t folder[_MAX_DIR] = {};
        if (_wsplitpath_s(path, drive, _MAX_DRIVE, folder, _MAX_DIR, nullptr, 0, nullptr, 0) != 0) {
            return ASE_NotPresent;
        }
        wchar_t directory[MAX_PATH] = {};
        std::swprintf(directory, MAX_PATH, L"%ls%ls", drive, folder);
        return m_custom->launchControlPanel(AsioModule::Handle(), directory);
    }(), "controlPanel");
}

ASIOError AsioDriver::SwitchStreamFormat(bool dsd)
{
    if (m_client.SetDsdMode(dsd ? 1 : 0) != ERROR_SUCCESS) {
        return ASE_HWMalfunction;
    }
    m_dsdMode = dsd;
    if (setSampleRate(FirstRateOfMode(m_config.Get(), dsd)) != ASE_OK) {
        return ASE_HWMalfunction;
    }
    return ASE_SUCCESS;
}

ASIOError AsioDriver::SetIoFormat(const ASIOIoFormat* format)
{
    if (format == nullptr) {
        return ASE_NotPresent;
    }
    const bool dsd = format->FormatType == kASIODSDFormat;
    if ((format->FormatType == kASIOPCMFormat || dsd) && dsd == m_dsdMode) {
        return ASE_SUCCESS; // already in that format: rate and buffers stay
    }
    switch (format->FormatType) {
    case kASIOPCMFormat:
        return SwitchStreamFormat(false);
    case kASIODSDFormat:
        return HasDsdRate() ? SwitchStreamFormat(true) : ASE_NotPresent;
    default:
        return ASE_NotPresent;
    }
}

ASIOError AsioDriver::CanDoIoFormat(const ASIOIoFormat* format) const
{
    if (format == nullptr) {
        return ASE_NotPresent;
    }
    switch (format->FormatType) {
    case kASIOPCMFormat:
        return ASE_SUCCESS;
    case kASIODSDFormat:
        return HasDsdRate() ? ASE_SUCCESS : ASE_NotPresent;
    default:
        return ASE_NotPresent;
    }
}

ASIOError AsioDriver::future(long selector, void* opt)
{
    // One line in the diagnostic log with the result.
    return AsioCallLog::Result([&]() -> ASIOError {
        AsioCallGuard call(m_callLock, m_engine);
        if (!call.Held()) {
            return ASE_InvalidMode;
        }
        switch (selector) {
        case kAsioEnableTimeCodeRead: // accepted; no time code is delivered
        case kAsioDisableTimeCodeRead:
        case kAsioCanTimeInfo:
            return ASE_SUCCESS;
        case kAsioSetIoFormat:
            return SetIoFormat(static_cast<const ASIOIoFormat*>(opt));
        case kAsioGetIoFormat:
            if (opt == nullptr) {
                return ASE_NotPresent;
            }
            static_cast<ASIOIoFormat*>(opt)->FormatType = m_dsdMode ? kASIODSDFormat : kASIOPCMFormat;
            return ASE_SUCCESS;
        case kAsioCanDoIoFormat:
            return CanDoIoFormat(static_cast<const ASIOIoFormat*>(opt));
        default:
            return ASE_NotPresent;
        }
    }(), "future selector=%ld", selector);
}
