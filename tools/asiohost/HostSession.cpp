#include "HostSession.h"

#include "HostAsioText.h"
#include "HostCallbackProbe.h"
#include "HostCallbacks.h"
#include "HostErrorCounter.h"

#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Half full scale, as the simulator's own test signal.
constexpr double TONE_AMPLITUDE = 1073741824.0;
// How often the main thread looks at the run while it waits for a reset.
constexpr DWORD WATCH_INTERVAL_MS = 50;
// Room for the switch times: the shortest buffer at the highest PCM rate.
constexpr double MOST_SWITCHES_PER_SECOND = 384000.0 / 16.0;
// The two switches the driver makes itself before the device's first one.
constexpr size_t PRIMING_SWITCHES = 2;

int64_t Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

HostSession::HostSession(const HostStreamOptions& options) : m_options(options)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    m_ticksPerSecond = static_cast<double>(frequency.QuadPart);
    m_resetEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

HostSession::~HostSession()
{
    HostCallbacks::Bind(nullptr);
    if (m_resetEvent != nullptr) {
        CloseHandle(m_resetEvent);
    }
}

bool HostSession::Fail(HostStreamResult& result, int exitCode, const std::string& error)
{
    result.exitCode = exitCode;
    result.error = error;
    return false;
}

HostStreamResult HostSession::Run()
{
    HostStreamResult result;
    if (m_resetEvent == nullptr) {
        Fail(result, HOST_EXIT_STREAM_FAILED, "cannot create the reset event");
        return result;
    }
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const size_t capacity =
        static_cast<size_t>((std::max(m_options.seconds, 0.0) + 10.0) * MOST_SWITCHES_PER_SECOND);
    m_ticks.assign(capacity, 0);
    m_count = 0;

    HostErrorCounter counter;
    uint32_t before = 0;
    const bool counterAtStart = counter.Open() && counter.Read(before);

    const int64_t started = Now();
    if (OpenSegment(true, result)) {
        StreamUntilDone(result);
        CloseSegment(result);
    }
    result.elapsedSeconds = static_cast<double>(Now() - started) / m_ticksPerSecond;

    uint32_t after = 0;
    result.counterUsed = counterAtStart && counter.Read(after);
    counter.Close();
    Finish(result);
    if (result.counterUsed) {
        result.missedSwitches = after - before;
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return result;
}

bool HostSession::OpenSegment(bool first, HostStreamResult& result)
{
    std::string error;
    if (!m_driver.Load(m_options.source, error)) {
        return Fail(result, HOST_EXIT_NO_DRIVER, error);
    }
    if (!m_driver.Init(error)) {
        m_driver.Release();
        return Fail(result, HOST_EXIT_INIT_FAILED, error);
    }
    result.driverName = m_driver.Name();
    result.driverVersion = m_driver.Version();
    IASIO* asio = m_driver.Asio();

    long inputs = 0, outputs = 0;
    ASIOError status = asio->getChannels(&inputs, &outputs);
    ASIOSampleRate current = 0;
    if (status == ASE_OK) {
        status = asio->getSampleRate(&current);
    }
    if (status != ASE_OK) {
        m_driver.Release();
        return Fail(result, HOST_EXIT_INIT_FAILED,
                    std::string("the driver reports no channels or rate: ") +
                        HostAsioText::ErrorName(status));
    }
    // A rate is asked for only at the first opening: after a reset the host
    // follows the rate that whoever changed it chose.
    if ((first && !SetRate(current, result)) || !PickChannels(inputs, outputs, result)) {
        m_driver.Release();
        return false;
    }
    asio->getSampleRate(&current);

    long minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
    asio->getBufferSize(&minSize, &maxSize, &preferred, &granularity);
    const long frames = m_options.frames > 0 ? m_options.frames : preferred;
    if (!CreateBuffers(frames, result)) {
        m_driver.Release();
        return false;
    }

    HostSegment segment;
    segment.rate = current;
    segment.frames = frames;
    asio->getLatencies(&segment.inputLatency, &segment.outputLatency);
    PrepareCallbackWork(segment);
    segment.inputs = static_cast<long>(m_inputs.size());
    segment.outputs = static_cast<long>(m_outputs.size());
    segment.refused = static_cast<long>(m_bufferInfos.size()) - segment.inputs - segment.outputs;
    FollowRecording(segment, first, result);
    segment.firstSwitch = m_count.load(std::memory_order_acquire);
    result.segments.push_back(segment);

    status = asio->start();
    if (status != ASE_OK) {
        asio->disposeBuffers();
        HostCallbacks::Bind(nullptr);
        m_driver.Release();
        return Fail(result, HOST_EXIT_START_FAILED,
                    std::string("start failed: ") + HostAsioText::ErrorName(status));
    }
    m_streaming = true;
    return true;
}

bool HostSession::SetRate(double current, HostStreamResult& result)
{
    if (m_options.rate == 0 || static_cast<uint32_t>(current) == m_options.rate) {
        return true; // hosts set the rate only when it differs
    }
    ASIOError status = m_driver.Asio()->setSampleRate(m_options.rate);
    if (status != ASE_OK) {
        return Fail(result, HOST_EXIT_RATE_REFUSED,
                    "setSampleRate(" + std::to_string(m_options.rate) +
                        ") refused: " + HostAsioText::ErrorName(status));
    }
    return true;
}

bool HostSession::PickChannels(long inputs, long outputs, HostStreamResult& result)
{
    m_bufferInfos.clear();
    auto add = [this](bool input, long index) {
        ASIOBufferInfo info{};
        info.isInput = input ? ASIOTrue : ASIOFalse;
        info.channelNum = index;
        m_bufferInfos.push_back(info);
    };
    if (m_options.channels.empty()) {
        for (long i = 0; i < inputs; ++i) {
            add(true, i);
        }
        for (long o = 0; o < outputs; ++o) {
            add(false, o);
        }
        return true;
    }
    for (const HostChannelRef& ref : m_options.channels) {
        const long count = ref.input ? inputs : outputs;
        if (ref.index < 0 || ref.index >= count) {
            return Fail(result, HOST_EXIT_USAGE,
                        std::string(ref.input ? "input " : "output ") + std::to_string(ref.index) +
                            " does not exist: the driver has " + std::to_string(count) +
                            (ref.input ? " inputs" : " outputs"));
        }
        add(ref.input, ref.index);
    }
    return true;
}

bool HostSession::CreateBuffers(long frames, HostStreamResult& result)
{
    // The driver asks its questions (time info, reset support) from inside
    // createBuffers, so the callbacks must find the session already.
    HostCallbacks::Bind(this);
    ASIOError status = m_driver.Asio()->createBuffers(m_bufferInfos.data(),
                                                      static_cast<long>(m_bufferInfos.size()),
                                                      frames, HostCallbacks::Table());
    if (status != ASE_OK) {
        HostCallbacks::Bind(nullptr);
        return Fail(result, HOST_EXIT_BUFFERS_REFUSED,
                    "createBuffers (" + std::to_string(m_bufferInfos.size()) + " channels, " +
                        std::to_string(frames) +
                        " frames) refused: " + HostAsioText::ErrorName(status));
    }
    return true;
}

void HostSession::PrepareCallbackWork(const HostSegment& segment)
{
    m_inputs.clear();
    m_outputs.clear();
    for (const ASIOBufferInfo& info : m_bufferInfos) {
        if (info.buffers[0] == nullptr || info.buffers[1] == nullptr) {
            continue; // refused by the driver: hosts leave such channels out
        }
        ASIOChannelInfo channel{};
        channel.channel = info.channelNum;
        channel.isInput = info.isInput;
        if (m_driver.Asio()->getChannelInfo(&channel) != ASE_OK || channel.type != ASIOSTInt32LSB) {
            continue; // only 32-bit PCM is played and recorded
        }
        ActiveChannel active{
            {static_cast<int32_t*>(info.buffers[0]), static_cast<int32_t*>(info.buffers[1])}};
        (info.isInput ? m_inputs : m_outputs).push_back(active);
    }
    m_inputHalves.assign(m_inputs.size(), nullptr);
    m_frames = segment.frames;
    m_phaseStep = segment.rate > 0 ? 2.0 * std::numbers::pi * m_options.toneHz / segment.rate : 0;
    m_probing = m_options.probe != nullptr && !m_inputs.empty() && !m_outputs.empty();
    if (m_probing) {
        m_options.probe->Prepare(segment.rate, segment.frames,
                                 segment.inputLatency + segment.outputLatency);
    }
    const double periodSeconds = segment.rate > 0 ? segment.frames / segment.rate : 0;
    m_loadTicks = static_cast<int64_t>(periodSeconds * m_ticksPerSecond *
                                       std::min<uint32_t>(m_options.loadPercent, 100) / 100.0);
}

void HostSession::FollowRecording(const HostSegment& segment, bool first, HostStreamResult& result)
{
    if (m_options.recordPath.empty()) {
        return;
    }
    const uint32_t rate = static_cast<uint32_t>(segment.rate);
    const uint32_t channels = static_cast<uint32_t>(m_inputs.size());
    if (first) {
        result.recordPath = HostAsioText::Narrow(m_options.recordPath);
        DWORD status = channels == 0 ? ERROR_INVALID_PARAMETER
                                     : m_recorder.Open(m_options.recordPath, rate, channels);
        if (status != 0) {
            result.recordNote =
                channels == 0 ? "no input to record"
                              : "cannot create the file (status " + std::to_string(status) + ")";
        }
        return;
    }
    // One file holds one rate and one channel count.
    if (m_recorder.IsOpen() && (m_recorder.Rate() != rate || m_recorder.Channels() != channels)) {
        result.recordNote = "recording ended at the reset: the rate or the inputs changed";
        m_recorder.Close();
    }
}

bool HostSession::StreamUntilDone(HostStreamResult& result)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(m_options.seconds * 1000.0);
    size_t lastCount = m_count.load(std::memory_order_acquire);
    ULONGLONG lastChange = GetTickCount64();
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end || (m_probing && m_options.probe->Done())) {
            return true;
        }
        DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(end - now, WATCH_INTERVAL_MS));
        if (WaitForSingleObject(m_resetEvent, wait) == WAIT_OBJECT_0) {
            if (result.resetsFollowed >= m_options.maxResets) {
                return Fail(result, HOST_EXIT_STREAM_FAILED,
                            "more than " + std::to_string(m_options.maxResets) +
                                " reset requests: giving up");
            }
            CloseSegment(result);
            ++result.resetsFollowed;
            if (!OpenSegment(false, result)) {
                result.error = "reopening after a reset request: " + result.error;
                return false;
            }
            lastChange = GetTickCount64();
            lastCount = m_count.load(std::memory_order_acquire);
            continue;
        }
        const size_t count = m_count.load(std::memory_order_acquire);
        if (count != lastCount) {
            lastCount = count;
            lastChange = GetTickCount64();
        } else if (GetTickCount64() - lastChange >= m_options.stallMs) {
            return Fail(result, HOST_EXIT_STREAM_FAILED,
                        "no buffer switch for " + std::to_string(m_options.stallMs) +
                            " ms: the device stopped streaming (unplugged?)");
        }
    }
}

void HostSession::CloseSegment(HostStreamResult& result)
{
    if (!m_streaming) {
        return;
    }
    IASIO* asio = m_driver.Asio();
    asio->stop(); // joins the driver's streaming thread: no callback runs after it
    HostSegment& segment = result.segments.back();
    segment.switches = m_count.load(std::memory_order_acquire) - segment.firstSwitch;
    asio->disposeBuffers();
    HostCallbacks::Bind(nullptr);
    m_driver.Release();
    m_streaming = false;
}

void HostSession::Finish(HostStreamResult& result)
{
    for (HostSegment& segment : result.segments) {
        result.switches += segment.switches;
        segment.periods.nominalUs = segment.rate > 0 ? segment.frames / segment.rate * 1e6 : 0;
        if (segment.switches > PRIMING_SWITCHES && segment.rate > 0) {
            segment.periods =
                HostPeriodStats::Measure(&m_ticks[segment.firstSwitch + PRIMING_SWITCHES],
                                         segment.switches - PRIMING_SWITCHES, m_ticksPerSecond,
                                         segment.frames / segment.rate * 1e6);
            result.gapMissed += segment.periods.gapMissed;
        }
    }
    if (!result.counterUsed) {
        result.missedSwitches = result.gapMissed;
    }
    result.timeInfoSwitches = m_timeInfoSwitches;
    result.plainSwitches = m_plainSwitches;
    result.resetRequests = m_resetRequests;
    if (m_recorder.IsOpen() || m_recorder.FramesWritten() > 0) {
        DWORD status = m_recorder.Close();
        if (status != 0 && result.recordNote.empty()) {
            result.recordNote = "writing the file failed (status " + std::to_string(status) + ")";
        }
    }
    result.recordedFrames = m_recorder.FramesWritten();
    result.droppedFrames = m_recorder.FramesDropped();
    if (!result.recordNote.empty() && result.recordedFrames == 0 && result.exitCode == 0 &&
        !m_options.recordPath.empty()) {
        Fail(result, HOST_EXIT_STREAM_FAILED, "recording failed: " + result.recordNote);
    }
}

void HostSession::OnBufferSwitch(long index, bool timeInfo) noexcept
{
    const int64_t entry = Now();
    const size_t n = m_count.load(std::memory_order_relaxed);
    if (n < m_ticks.size()) {
        m_ticks[n] = entry;
        m_count.store(n + 1, std::memory_order_release);
    }
    (timeInfo ? m_timeInfoSwitches : m_plainSwitches).fetch_add(1, std::memory_order_relaxed);
    const long half = index & 1;
    FillOutputs(half);
    if (m_probing) {
        m_options.probe->Exchange(m_inputs[0].halves[half], m_outputs[0].halves[half], m_frames);
    }
    if (m_recorder.IsOpen() && !m_inputs.empty()) {
        for (size_t c = 0; c < m_inputs.size(); ++c) {
            m_inputHalves[c] = m_inputs[c].halves[half];
        }
        m_recorder.Push(m_inputHalves.data(), static_cast<uint32_t>(m_inputs.size()),
                        static_cast<uint32_t>(m_frames));
    }
    SpendLoad(entry);
}

void HostSession::FillOutputs(long half) noexcept
{
    for (long f = 0; f < m_frames; ++f) {
        const int32_t sample =
            m_phaseStep > 0 ? static_cast<int32_t>(std::sin(m_phase) * TONE_AMPLITUDE) : 0;
        m_phase += m_phaseStep;
        for (ActiveChannel& channel : m_outputs) {
            channel.halves[half][f] = sample;
        }
    }
    // Kept small so that the phase keeps its precision over long runs.
    m_phase = std::fmod(m_phase, 2.0 * std::numbers::pi);
}

void HostSession::SpendLoad(int64_t entry) noexcept
{
    if (m_loadTicks <= 0) {
        return;
    }
    while (Now() - entry < m_loadTicks) {
        // busy, as a host that computes its audio
    }
}

long HostSession::OnAsioMessage(long selector, long value) noexcept
{
    switch (selector) {
    case kAsioSelectorSupported:
        // No kAsioBufferSizeChange: a new buffer size comes with a reset, as
        // most hosts handle it.
        return value == kAsioEngineVersion || value == kAsioResetRequest ||
                       value == kAsioResyncRequest || value == kAsioLatenciesChanged ||
                       value == kAsioSupportsTimeInfo
                   ? 1
                   : 0;
    case kAsioEngineVersion:
        return 2;
    case kAsioResetRequest:
        // Followed on the main thread: the driver calls from its streaming
        // thread, which stop would have to join.
        m_resetRequests.fetch_add(1, std::memory_order_relaxed);
        SetEvent(m_resetEvent);
        return 1;
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
        return 1;
    case kAsioSupportsTimeInfo:
        return m_options.timeInfo ? 1 : 0;
    default:
        return 0;
    }
}

void HostSession::OnSampleRateDidChange(double) noexcept
{
    // The rate is read again when the driver is opened after the reset
    // request that accompanies a change.
}
