#include "SimAsioStream.h"

#include "KorvelRecords.h"
#include "KorvelStatus.h"
#include "SimAsioCapture.h"
#include "SimAsioSignalLog.h"
#include "SimAsioTestSignal.h"
#include "SimConnection.h"
#include "SimMixer.h"
#include "SimStreaming.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

SimAsioStream::SimAsioStream(uint32_t connection, uint32_t processId, SimStreaming& streaming,
                             SimAsioCapture& capture)
    : m_connection(connection), m_processId(processId), m_streaming(streaming),
      m_capture(capture)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    m_qpcFrequency = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

SimAsioStream::~SimAsioStream()
{
    (void)Stop();
}

int64_t SimAsioStream::Now()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double SimAsioStream::MeanUs(const std::atomic<uint64_t>& ticks) const
{
    const uint64_t periods = m_signals.load();
    return periods == 0 ? 0.0
                        : static_cast<double>(ticks.load()) * 1e6 /
                              static_cast<double>(m_qpcFrequency) / static_cast<double>(periods);
}

uint32_t SimAsioStream::HalfBytes(bool dsd) const
{
    return m_frames * (dsd ? DSD_BLOCK_BYTES : PCM_SAMPLE_BYTES);
}

bool SimAsioStream::ReadClient(uintptr_t address, void* data, size_t bytes) const
{
    SIZE_T done = 0;
    return ReadProcessMemory(m_process.GetHandle(), reinterpret_cast<const void*>(address), data,
                             bytes, &done) &&
           done == bytes;
}

bool SimAsioStream::WriteClient(uintptr_t address, const void* data, size_t bytes) const
{
    SIZE_T done = 0;
    return WriteProcessMemory(m_process.GetHandle(), reinterpret_cast<void*>(address), data, bytes,
                              &done) &&
           done == bytes;
}

// Committed pages the client may write to; WriteProcessMemory alone would
// not tell, since it lifts a read-only protection for its own write.
bool SimAsioStream::IsWritable(uintptr_t address, uintptr_t end) const
{
    constexpr DWORD WRITABLE =
        PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    while (address < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQueryEx(m_process.GetHandle(), reinterpret_cast<const void*>(address), &info,
                           sizeof info) != sizeof info ||
            info.State != MEM_COMMIT || (info.Protect & WRITABLE) == 0 ||
            (info.Protect & PAGE_GUARD) != 0) {
            return false;
        }
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= address) {
            return false;
        }
        address = regionEnd;
    }
    return true;
}

// The range must lie in this process's address size, be committed and
// writable in the client, and read back, then the same bytes are written
// back (the host does not use a buffer before it has handed it over).
uint32_t SimAsioStream::CheckClientMemory(uint64_t address, uint64_t bytes) const
{
    if (address == 0 || bytes == 0 || address > UINTPTR_MAX || bytes > UINTPTR_MAX - address) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    const auto at = static_cast<uintptr_t>(address);
    if (!IsWritable(at, at + static_cast<uintptr_t>(bytes))) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    std::vector<uint8_t> copy(static_cast<size_t>(bytes));
    if (!ReadClient(at, copy.data(), copy.size()) || !WriteClient(at, copy.data(), copy.size())) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimAsioStream::Create(const KorvelAsioBufferSetup& setup)
{
    if (Running()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    if (setup.framesPerHalf == 0 || setup.framesPerHalf > MAX_FRAMES) {
        return KORVEL_STATUS_INVALID_BUFFER_SIZE;
    }
    SimHandle process(OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION |
                                      PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                                  FALSE, m_processId));
    if (!process.IsValid()) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    m_process.Attach(process.Detach());
    m_frames = 0; // not created until everything is checked
    m_channels.clear();
    m_event.Close();
    uint32_t status = CheckClientMemory(setup.sharedBlock, sizeof(KorvelAsioSharedBlock));
    if (status == KORVEL_STATUS_SUCCESS && setup.bufferEvent == 0) {
        status = KORVEL_STATUS_INVALID_PARAMETER;
    }
    if (status == KORVEL_STATUS_SUCCESS) {
        status = SimConnection::DuplicateEvent(m_processId, setup.bufferEvent, true, m_event);
    }
    if (status != KORVEL_STATUS_SUCCESS) {
        m_process.Close();
        return status;
    }
    m_block = static_cast<uintptr_t>(setup.sharedBlock);
    m_frames = setup.framesPerHalf;
    m_started = false;
    m_signals = 0;
    m_missed = 0;
    m_switches = 0;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimAsioStream::SetChannelBuffer(const Channel& channel, uint64_t address,
                                         uint32_t halfBytes, uint32_t formatWord)
{
    if (!Created() || Running()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    if (formatWord != KORVEL_ASIO_CHANNEL_BUFFER_FORMAT_WORD) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    if (halfBytes != HalfBytes(channel.dsd)) {
        return KORVEL_STATUS_INVALID_BUFFER_SIZE;
    }
    uint32_t status = CheckClientMemory(address, uint64_t{halfBytes} * 2);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    RemoveChannel(channel.key); // a second buffer for a channel replaces the first
    Channel entry = channel;
    entry.address = static_cast<uintptr_t>(address);
    entry.halfBytes = halfBytes;
    m_channels.push_back(entry);
    return KORVEL_STATUS_SUCCESS;
}

void SimAsioStream::RemoveChannel(KorvelChannelKey key)
{
    m_channels.erase(std::remove_if(m_channels.begin(), m_channels.end(),
                                    [&](const Channel& c) { return SameKey(c.key, key); }),
                     m_channels.end());
}

uint32_t SimAsioStream::Start(uint32_t rate, std::shared_ptr<SimAsioSignalLog> log,
                             const std::optional<Loopback>& loopback)
{
    if (!Created()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    if (Running()) {
        return KORVEL_STATUS_ALREADY_DONE;
    }
    (void)Stop(); // a stream that ended by itself still has its thread to join
    const bool dsd = rate >= KORVEL_DSD_MIN_SAMPLE_RATE;
    for (const Channel& c : m_channels) {
        if (c.dsd != dsd) {
            return KORVEL_STATUS_CHANNEL_CONFIG_CHANGED;
        }
    }
    std::stable_sort(m_channels.begin(), m_channels.end(),
                     [](const Channel& a, const Channel& b) { return a.order < b.order; });
    m_dsd = dsd;
    m_pcmOutputs = 0;
    for (const Channel& c : m_channels) {
        m_pcmOutputs += !c.input && !c.dsd ? 1 : 0;
    }
    // Everything the pacing thread touches is allocated here.
    m_half.assign(HalfBytes(true) / sizeof(int32_t), 0);
    m_interleaved.assign(size_t{m_frames} * m_pcmOutputs, 0);
    PrepareListening(loopback);
    m_log = std::move(log);
    m_nextHalf = 0;
    m_preparedSignal = UINT64_MAX;
    m_signals = 0;
    m_missed = 0;
    m_signalTicks = 0;
    m_workTicks = 0;
    m_rate = rate;
    if (m_pacer.Start(*this) != 0) {
        return KORVEL_STATUS_NO_RESOURCES;
    }
    m_started = true;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimAsioStream::Stop()
{
    const bool wasRunning = Running();
    m_pacer.Stop();
    if (m_started) {
        m_capture.Release(m_connection);
        Silence();
    }
    return wasRunning ? KORVEL_STATUS_SUCCESS : KORVEL_STATUS_ALREADY_DONE;
}

// The stream's pins read silence once it no longer plays.
void SimAsioStream::Silence()
{
    for (const Channel& c : m_channels) {
        if (c.meter) {
            c.meter->Publish(c.pin, SimMixer::LEVEL_FLOOR);
        }
    }
}

bool SimAsioStream::Timing(uint64_t& samples, uint32_t& rate)
{
    const uint32_t now = m_streaming.Rate();
    // A rate of the other kind (PCM / DSD) does not fit the buffers: the
    // stream stays paused until the client makes new ones.
    if (m_streaming.State() != KORVEL_STREAMING_STATE_RUNNING ||
        (now >= KORVEL_DSD_MIN_SAMPLE_RATE) != m_dsd) {
        return false;
    }
    rate = now;
    samples = m_dsd ? uint64_t{m_frames} * DSD_BLOCK_SAMPLES : m_frames;
    m_rate.store(now, std::memory_order_relaxed);
    return true;
}

bool SimAsioStream::SameKey(KorvelChannelKey a, KorvelChannelKey b)
{
    return a.word0 == b.word0 && a.word1 == b.word1;
}

// What the pacing thread needs to listen to the outputs: the loopback's two
// channels, and meter times staggered over one interval so that the reads
// spread over the periods instead of coming all in one.
void SimAsioStream::PrepareListening(const std::optional<Loopback>& loopback)
{
    m_loopOutput = m_loopInput = SIZE_MAX;
    for (size_t i = 0; loopback && i < m_channels.size(); ++i) {
        const Channel& c = m_channels[i];
        if (!c.dsd && !c.input && SameKey(c.key, loopback->output)) {
            m_loopOutput = i;
        }
        if (!c.dsd && c.input && SameKey(c.key, loopback->input)) {
            m_loopInput = i;
        }
    }
    if (m_loopOutput == SIZE_MAX || m_loopInput == SIZE_MAX) {
        m_loopOutput = m_loopInput = SIZE_MAX;
    } else {
        m_loopback.Reset(loopback->delay, m_frames);
    }
    const int64_t interval = m_qpcFrequency * METER_INTERVAL_MS / 1000;
    const int64_t now = Now();
    m_meterDue.assign(m_pcmOutputs, now);
    for (uint32_t column = 0; column < m_pcmOutputs; ++column) {
        m_meterDue[column] = now + interval * column / std::max(1u, m_pcmOutputs);
    }
}

bool SimAsioStream::Period(bool resumed)
{
    const uint32_t half = m_nextHalf;
    // A client that has exited is gone even where its memory still reads
    // (Wine reads it through the kernel); a check every few periods is enough.
    const uint64_t signal = m_signals.load(std::memory_order_relaxed);
    if (signal % EXIT_CHECK_PERIODS == 0 &&
        WaitForSingleObject(m_process.GetHandle(), 0) != WAIT_TIMEOUT) {
        return End();
    }
    const int64_t entered = Now();
    // The inputs of this half were written after the previous signal, but
    // for the first period and the first after a change of rate.
    const bool prepared = m_preparedSignal == signal &&
                          m_preparedRate == m_rate.load(std::memory_order_relaxed);
    if ((!prepared && !WriteInputs(half, signal)) || !Signal(half, resumed)) {
        return End();
    }
    const int64_t signalled = Now();
    if (!ReadOutputs(1 - half, signal) || !WriteInputs(1 - half, signal + 1)) {
        return End();
    }
    m_signalTicks.fetch_add(static_cast<uint64_t>(signalled - entered), std::memory_order_relaxed);
    m_workTicks.fetch_add(static_cast<uint64_t>(Now() - signalled), std::memory_order_relaxed);
    m_nextHalf = 1 - half;
    return true;
}

bool SimAsioStream::ReadOutput(const Channel& c, uint32_t half)
{
    return ReadClient(c.address + uintptr_t{half} * c.halfBytes, m_half.data(), c.halfBytes);
}

void SimAsioStream::PublishLevel(const Channel& c) const
{
    uint32_t peak = 0;
    for (uint32_t f = 0; f < m_frames; ++f) {
        const int32_t sample = m_half[f];
        const uint32_t magnitude = sample < 0 ? 0u - static_cast<uint32_t>(sample)
                                              : static_cast<uint32_t>(sample);
        peak = std::max(peak, magnitude);
    }
    if (c.meter) {
        c.meter->Publish(c.pin, SimLevelMeter::LevelOfPeak(peak));
    }
}

// The next reading of a meter one interval on; after a pause, one interval
// from now rather than a reading every period until it has caught up.
void SimAsioStream::MeterDone(uint32_t column, int64_t now)
{
    const int64_t interval = m_qpcFrequency * METER_INTERVAL_MS / 1000;
    int64_t& due = m_meterDue[column];
    due += interval;
    if (due <= now) {
        due = now + interval;
    }
}

// The output half the host filled before `signal` plays from the signal's
// time on. DSD outputs have no listener here.
bool SimAsioStream::ReadOutputs(uint32_t half, uint64_t signal)
{
    const bool capture = m_pcmOutputs != 0 && m_capture.Active();
    const int64_t now = Now();
    uint32_t column = 0;
    for (size_t i = 0; i < m_channels.size(); ++i) {
        const Channel& c = m_channels[i];
        if (c.input || c.dsd) {
            continue;
        }
        const bool meter = now >= m_meterDue[column];
        if (capture || meter || i == m_loopOutput) {
            if (!ReadOutput(c, half)) {
                return false;
            }
            if (meter) {
                PublishLevel(c);
                MeterDone(column, now);
            }
            if (capture) {
                for (uint32_t f = 0; f < m_frames; ++f) {
                    m_interleaved[size_t{f} * m_pcmOutputs + column] = m_half[f];
                }
            }
            if (i == m_loopOutput) {
                m_loopback.Play(m_half.data(), m_frames,
                                static_cast<int64_t>(signal * m_frames));
            }
        }
        ++column;
    }
    if (capture) {
        m_capture.Offer(m_connection, m_rate.load(std::memory_order_relaxed), m_pcmOutputs,
                        m_interleaved.data(), m_frames);
    }
    return true;
}

// The inputs for `signal` were recorded during the period before it.
bool SimAsioStream::WriteInputs(uint32_t half, uint64_t signal)
{
    const uint32_t rate = m_rate.load(std::memory_order_relaxed);
    const int64_t recorded = (static_cast<int64_t>(signal) - 1) * m_frames;
    for (size_t i = 0; i < m_channels.size(); ++i) {
        const Channel& c = m_channels[i];
        if (!c.input) {
            continue;
        }
        if (c.dsd) {
            std::memset(m_half.data(), SimAsioTestSignal::DSD_SILENCE, c.halfBytes);
        } else if (i == m_loopInput) {
            m_loopback.Record(m_half.data(), m_frames, recorded);
            PublishLevel(c);
        } else {
            SimAsioTestSignal::Fill(m_half.data(), m_frames, signal * m_frames, rate, c.index);
            if (c.meter) {
                c.meter->Publish(c.pin, SimAsioTestSignal::LEVEL);
            }
        }
        if (!WriteClient(c.address + uintptr_t{half} * c.halfBytes, m_half.data(), c.halfBytes)) {
            return false;
        }
    }
    m_preparedSignal = signal;
    m_preparedRate = rate;
    return true;
}

bool SimAsioStream::Signal(uint32_t half, bool resumed)
{
    KorvelAsioSharedBlock block{};
    if (!ReadClient(m_block, &block, sizeof block)) {
        return false;
    }
    // The host answers each signal with one increment; after a pause the
    // first signal has nothing to compare with.
    if (m_signals.load(std::memory_order_relaxed) != 0 && !resumed &&
        block.switchCount == m_lastSwitch) {
        ++m_missed;
        m_streaming.CountAsioError();
    }
    m_lastSwitch = block.switchCount;
    m_switches.store(block.switchCount, std::memory_order_relaxed);
    if (!WriteClient(m_block, &half, sizeof half)) {
        return false;
    }
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    if (m_log) {
        m_log->Record(static_cast<uint64_t>(now.QuadPart));
    }
    SetEvent(m_event.GetHandle());
    ++m_signals;
    return true;
}

// The client's memory is gone (the process died or unmapped it): the stream
// ends here; the connection's close releases the rest.
bool SimAsioStream::End()
{
    m_capture.Release(m_connection);
    return false;
}

std::string SimAsioStream::DumpLine() const
{
    uint32_t inputs = 0;
    for (const Channel& c : m_channels) {
        inputs += c.input ? 1 : 0;
    }
    const char* state = Running() ? "running" : m_started ? "stopped" : "created";
    char line[256];
    std::snprintf(line, sizeof line,
                  "asio.stream=%u pid=%u state=%s frames=%u rate=%u inputs=%u outputs=%u "
                  "signals=%llu switches=%u missed=%llu signalUs=%.1f workUs=%.1f",
                  static_cast<unsigned>(m_connection), static_cast<unsigned>(m_processId), state,
                  static_cast<unsigned>(m_frames),
                  static_cast<unsigned>(m_started ? m_rate.load() : m_streaming.Rate()),
                  static_cast<unsigned>(inputs),
                  static_cast<unsigned>(m_channels.size() - inputs),
                  static_cast<unsigned long long>(m_signals.load()),
                  static_cast<unsigned>(m_switches.load()),
                  static_cast<unsigned long long>(m_missed.load()), MeanUs(m_signalTicks),
                  MeanUs(m_workTicks));
    return line;
}
