#pragma once
// The driver object an ASIO host creates. IASIO is the first base, so the
// pointer a host receives is the IASIO interface itself; the IUnknown methods
// forward to the owner (the outer object when aggregated, see CUnknown).
// Hosts create it with the class id as the interface id, which
// NonDelegatingQueryInterface answers with the IASIO interface.
//
// It answers the host's questions from what the kernel driver reports on the
// driver's own connection, changes sample rate and stream format through the
// device control service, and launches the control panel. Every operation
// checks its inputs and the state it needs before it touches anything; a
// hostile or out-of-order call gets an ASIO error, never a crash.
//
// Streaming (buffer preparation, start, stop, the streaming thread) is the
// engine's (AsioStreamEngine). The state is not kept beside the engine: it is
// read off the engine's owners (see CurrentState), so the two cannot drift.
//
// IASIO promises no thread safety, but hosts call from several threads at
// once (a reset request handled on a helper thread while the main thread
// closes). Every call that changes or reads the driver's state passes the
// call guard (AsioCallGuard); the buffer-switch path and the calls hosts make
// from inside it at every period (getSamplePosition, outputReady) do not.
#include "AsioChannelSet.h"
#include "AsioConfigStore.h"
#include "AsioCustom.h"
#include "AsioStreamEngine.h"
#include "CUnknown.h"
#include "IASIO.h"
#include "KorvelAsioClient.h"
#include "KorvelLog.h"

#include <cstdint>
#include <memory>

class AsioDriver : public IASIO, public CUnknown
{
public:
    enum State : uint32_t { LOADED = 0, INITIALIZED = 1, PREPARED = 2, RUNNING = 3 };

    static constexpr long DRIVER_VERSION = 0x124;
    static constexpr size_t ERROR_TEXT_CHARS = 128;
    // Readiness wait: one request, then up to this many more, 10 ms apart.
    static constexpr int READY_RETRIES = 200;
    static constexpr DWORD READY_RETRY_MS = 10;

    // The class table's creation routine: null when memory runs out.
    static CUnknown* __stdcall CreateInstance(LPUNKNOWN outer, HRESULT* result);

    AsioDriver(LPUNKNOWN outer, HRESULT* result);
    ~AsioDriver() override;

    // IUnknown, forwarded to the owner.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IASIO.
    ASIOBool init(void* sysHandle) override;
    void getDriverName(char* name) override;
    long getDriverVersion() override;
    void getErrorMessage(char* string) override;
    ASIOError start() override;
    ASIOError stop() override;
    ASIOError getChannels(long* numInputChannels, long* numOutputChannels) override;
    ASIOError getLatencies(long* inputLatency, long* outputLatency) override;
    ASIOError getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                            long* granularity) override;
    ASIOError canSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getSampleRate(ASIOSampleRate* sampleRate) override;
    ASIOError setSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getClockSources(ASIOClockSource* clocks, long* numSources) override;
    ASIOError setClockSource(long reference) override;
    ASIOError getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) override;
    ASIOError getChannelInfo(ASIOChannelInfo* info) override;
    ASIOError createBuffers(ASIOBufferInfo* bufferInfos, long numChannels, long bufferSize,
                            ASIOCallbacks* callbacks) override;
    ASIOError disposeBuffers() override;
    ASIOError controlPanel() override;
    ASIOError future(long selector, void* opt) override;
    ASIOError outputReady() override;

    // For tests: the state, the mode, the connection and the engine.
    State CurrentState() const;
    bool InDsdMode() const { return m_dsdMode; }
    KorvelAsioClient& Connection() { return m_client; }
    AsioStreamEngine& Engine() { return m_engine; }

    // The buffer-size rule: the powers of two from 16 to 65536 around the
    // preferred size, or the preferred size alone outside that range.
    static void BufferSizeRange(long preferred, long& minimum, long& maximum);
    // A host's rate truncated toward zero; false for one no u32 holds.
    static bool TruncateRate(ASIOSampleRate rate, uint32_t& hz);
    static bool IsDsdRate(uint32_t hz);

protected:
    // The last release inside a host callback defers the destruction to the
    // streaming thread, once the callback has returned.
    void DestroySelf() override;

private:
    static void DestroyDeferred(void* driver);
    AsioChannelSet& CurrentSet() { return m_dsdMode ? m_dsdSet : m_pcmSet; }
    void SetErrorText(const wchar_t* text);
    bool WaitUntilReady();
    void ReadStreamConfig();
    static bool RateInTable(const KorvelAsioStreamConfig& config, uint32_t hz);
    bool HasDsdRate() const;
    static uint32_t FirstRateOfMode(const KorvelAsioStreamConfig& config, bool dsd);
    uint32_t HostBufferSize() const;
    bool OfferedBufferSize(long size) const;
    ASIOError PrepareBuffers(ASIOBufferInfo* bufferInfos, long numChannels, long bufferSize,
                             ASIOCallbacks* callbacks);
    ASIOError StartStream();
    void StopStream();
    void DisposeStream();
    // setSampleRate's work, under the call guard.
    ASIOError ChangeSampleRate(ASIOSampleRate sampleRate);
    void TellHostOfRateChange();
    DWORD RebuildChannelSets();
    void FillChannelSets(const KorvelAsioChannelList& list, AsioChannelSet& pcm,
                         AsioChannelSet& dsd);
    ASIOError SwitchStreamFormat(bool dsd);
    ASIOError SetIoFormat(const ASIOIoFormat* format);
    ASIOError CanDoIoFormat(const ASIOIoFormat* format) const;

    // The process's diagnostic log, held while a driver object lives; first
    // so that it is ended last.
    KorvelLogSession m_logSession;
    // In the order the driver's data model gives them.
    KorvelAsioClient m_client;
    wchar_t m_errorText[ERROR_TEXT_CHARS] = {};
    bool m_initialized = false;
    CRITICAL_SECTION m_callLock; // see AsioCallGuard
    AsioChannelSet m_pcmSet;
    AsioChannelSet m_dsdSet;
    AsioConfigStore m_config;
    // The host's callbacks and capabilities, the events, the lock, the time
    // record, the shared buffers and the streaming thread.
    AsioStreamEngine m_engine{m_client, m_config};
    std::unique_ptr<AsioCustom> m_custom;
    bool m_dsdMode = false;
};
