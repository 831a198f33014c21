#include "SimStreaming.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelServiceRecords.h"
#include "KorvelStatus.h"
#include "SimDeviceConfig.h"
#include "SimDeviceSet.h"
#include "SimNotifier.h"
#include "SimRequestIo.h"

#include <algorithm>
#include <cstdio>

namespace {

// Latency of each streaming buffer-size class, "Minimum" … "Safe".
constexpr uint32_t STREAMING_LATENCY_US[KORVEL_STREAMING_BUFFER_CLASS_COUNT] = {1000, 2000,  4000,
                                                                                8000, 16000, 32000};
// ASIO buffer of each ASIO class at 44.1 or 48 kHz, "Minimum" … "Maximum";
// it scales with the rate so that its duration stays the same.
constexpr uint32_t ASIO_BASE_SAMPLES[KORVEL_ASIO_BUFFER_CLASS_COUNT] = {64, 128, 256, 512};

} // namespace

SimStreaming::SimStreaming(SimDeviceSet& devices, SimNotifier& notifier)
    : m_devices(devices), m_notifier(notifier)
{
}

bool SimStreaming::IsStreamingCode(uint32_t code)
{
    switch (code) {
    case IOCTL_KORVEL_GET_SAMPLE_RATES:
    case IOCTL_KORVEL_GET_BUFFER_SIZES:
    case IOCTL_KORVEL_GET_STREAMING_STATE:
    case IOCTL_KORVEL_GET_STATUS_COUNTERS:
    case IOCTL_KORVEL_STREAMING_COMMAND:
    case IOCTL_KORVEL_SET_SAMPLE_RATE:
    case IOCTL_KORVEL_SET_BUFFER_SIZES:
    case IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE:
    case IOCTL_KORVEL_SET_POLICY:
    case IOCTL_KORVEL_GET_POLICY:
    case IOCTL_KORVEL_SELECT_STREAMING_DEVICE:
        return true;
    default:
        return false;
    }
}

uint32_t SimStreaming::HandleRequest(SimRequest& r)
{
    uint32_t status = KORVEL_STATUS_SUCCESS;
    switch (r.code) {
    case IOCTL_KORVEL_GET_SAMPLE_RATES:
        return GetSampleRates(r);
    case IOCTL_KORVEL_GET_BUFFER_SIZES:
        status = SimRequestIo::CheckFixed(r, 0, sizeof(KorvelBufferSizes));
        if (status == KORVEL_STATUS_SUCCESS) {
            SimRequestIo::WriteOut(r, BufferSizes());
        }
        return status;
    case IOCTL_KORVEL_GET_STREAMING_STATE:
        status = SimRequestIo::CheckFixed(r, 0, sizeof(KorvelStreamingState));
        if (status == KORVEL_STATUS_SUCCESS) {
            SimRequestIo::WriteOut(r, StreamingState());
        }
        return status;
    case IOCTL_KORVEL_GET_STATUS_COUNTERS:
        status = SimRequestIo::CheckFixed(r, 0, sizeof(KorvelStatusCounters));
        if (status == KORVEL_STATUS_SUCCESS) {
            KorvelStatusCounters counters{m_counters[0], m_counters[1], m_counters[2],
                                          m_counters[3], m_counters[4]};
            SimRequestIo::WriteOut(r, counters);
        }
        return status;
    case IOCTL_KORVEL_GET_POLICY:
        status = SimRequestIo::CheckFixed(r, 0, sizeof(uint32_t));
        if (status == KORVEL_STATUS_SUCCESS) {
            SimRequestIo::WriteOut(r, m_policy);
        }
        return status;
    case IOCTL_KORVEL_STREAMING_COMMAND:
        return StreamingCommand(r);
    case IOCTL_KORVEL_SET_SAMPLE_RATE:
        return SetSampleRate(r);
    case IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE:
        return AnnounceSampleRate(r);
    case IOCTL_KORVEL_SET_BUFFER_SIZES:
        return SetBufferSizes(r);
    case IOCTL_KORVEL_SELECT_STREAMING_DEVICE:
        return SelectStreamingDevice(r);
    case IOCTL_KORVEL_SET_POLICY:
        return SetPolicy(r);
    default:
        return KORVEL_STATUS_INVALID_IOCTL;
    }
}

KorvelStreamingState SimStreaming::StreamingState() const
{
    KorvelStreamingState state{};
    state.state = m_state;
    state.mode = m_devices.Mode();
    state.sampleRate = m_rate;
    state.activityCount1 = ActivityCount1();
    state.activityCount2 = m_activity[1];
    state.activityCount3 = m_activity[2];
    state.activityCount4 = m_activity[3];
    state.activityCount5 = m_activity[4];
    return state;
}

KorvelBufferSizes SimStreaming::BufferSizes() const
{
    KorvelBufferSizes sizes{};
    sizes.streamingSizeClass = m_streamingClass;
    sizes.asioSizeClass = m_asioClass;
    sizes.thirdWord = m_thirdWord;
    sizes.streamingLatencyUs = STREAMING_LATENCY_US[m_streamingClass];
    uint32_t family = m_rate % 44100 == 0 ? 44100 : 48000;
    uint32_t multiple = std::max(1u, m_rate / family);
    sizes.asioBufferSize = ASIO_BASE_SAMPLES[m_asioClass] * multiple;
    sizes.asioLatencyUs =
        m_rate == 0 ? 0 : static_cast<uint32_t>(uint64_t{sizes.asioBufferSize} * 1000000 / m_rate);
    return sizes;
}

uint32_t SimStreaming::GetSampleRates(SimRequest& r) const
{
    uint32_t status = SimRequestIo::CheckFixed(r, 0, sizeof(KorvelSampleRates));
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    KorvelSampleRates rates{};
    rates.currentRate = m_rate;
    for (uint32_t rate : m_devices.SupportedRates()) {
        if (rates.count < KORVEL_MAX_SAMPLE_RATES) {
            rates.rates[rates.count++] = rate;
        }
    }
    SimRequestIo::WriteOut(r, rates);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimStreaming::StreamingCommand(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelStreamingCommand), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto command = SimRequestIo::ReadIn<KorvelStreamingCommand>(r);
    status = RunCommand(command.command);
    if (m_commandLog.size() == COMMAND_LOG_CAPACITY) {
        m_commandLog.pop_front();
    }
    m_commandLog.push_back(Command{command.command, command.argument, status});
    ++m_commandCount;
    return status;
}

uint32_t SimStreaming::RunCommand(uint32_t command)
{
    auto step = [this](bool legal, uint32_t target) {
        if (!legal) {
            return KORVEL_STATUS_INVALID_STATE;
        }
        m_state = target;
        return KORVEL_STATUS_SUCCESS;
    };
    switch (command) {
    case KORVEL_STREAMING_CMD_LEAVE_ERROR:
        return step(m_state == KORVEL_STREAMING_STATE_ERROR ||
                        m_state == KORVEL_STREAMING_STATE_NOT_SUPPORTED,
                    KORVEL_STREAMING_STATE_DOWN);
    case KORVEL_STREAMING_CMD_READY:
        return m_state == KORVEL_STREAMING_STATE_DOWN ? EnterReady() : KORVEL_STATUS_INVALID_STATE;
    case KORVEL_STREAMING_CMD_DOWN:
        return step(m_state == KORVEL_STREAMING_STATE_READY, KORVEL_STREAMING_STATE_DOWN);
    case KORVEL_STREAMING_CMD_PREPARE:
        if (m_state == KORVEL_STREAMING_STATE_READY && !m_devices.HasStreamingDevice()) {
            return KORVEL_STATUS_NO_STREAMING_DEVICE;
        }
        return step(m_state == KORVEL_STREAMING_STATE_READY, KORVEL_STREAMING_STATE_PREPARED);
    case KORVEL_STREAMING_CMD_RUN:
        return step(m_state == KORVEL_STREAMING_STATE_PREPARED, KORVEL_STREAMING_STATE_RUNNING);
    case KORVEL_STREAMING_CMD_STOP:
        return step(m_state == KORVEL_STREAMING_STATE_PREPARED ||
                        m_state == KORVEL_STREAMING_STATE_RUNNING,
                    KORVEL_STREAMING_STATE_READY);
    default:
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
}

uint32_t SimStreaming::EnterReady()
{
    if (m_devices.Count() == 0) {
        return KORVEL_STATUS_NO_DEVICES;
    }
    std::vector<SimDevice*> streaming = m_devices.StreamingDevices();
    if (streaming.empty()) {
        return KORVEL_STATUS_NO_STREAMING_DEVICE;
    }
    for (SimDevice* device : streaming) {
        if (!device->HighSpeed()) {
            m_state = KORVEL_STREAMING_STATE_NOT_SUPPORTED;
            return KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE;
        }
    }
    m_state = KORVEL_STREAMING_STATE_READY;
    return KORVEL_STATUS_SUCCESS;
}

bool SimStreaming::SettingsLocked() const
{
    return m_state == KORVEL_STREAMING_STATE_PREPARED || m_state == KORVEL_STREAMING_STATE_RUNNING;
}

bool SimStreaming::IsSupported(uint32_t rate) const
{
    std::vector<uint32_t> rates = m_devices.SupportedRates();
    return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

void SimStreaming::SettingsChanged()
{
    m_notifier.Broadcast(KORVEL_NOTIFY_SETTINGS_CHANGED, nullptr, 0);
}

uint32_t SimStreaming::SetSampleRate(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(uint32_t), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    if (SettingsLocked()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    return ForceRate(SimRequestIo::ReadIn<uint32_t>(r));
}

uint32_t SimStreaming::ForceRate(uint32_t rate)
{
    if (m_devices.Count() == 0) {
        return KORVEL_STATUS_NO_DEVICES;
    }
    if (!IsSupported(rate)) {
        return KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE;
    }
    if (rate != m_rate) {
        m_rate = rate;
        SettingsChanged();
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimStreaming::AnnounceSampleRate(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(uint32_t), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto rate = SimRequestIo::ReadIn<uint32_t>(r);
    if (m_devices.Count() != 0 && !IsSupported(rate)) {
        return KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE;
    }
    m_announcedRate = rate;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimStreaming::SetBufferSizes(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelBufferSizesSetting), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    if (SettingsLocked()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    auto setting = SimRequestIo::ReadIn<KorvelBufferSizesSetting>(r);
    if (!ForceBufferSizes(setting.streamingSizeClass, setting.asioSizeClass, setting.thirdWord)) {
        return KORVEL_STATUS_INVALID_BUFFER_SIZE;
    }
    return KORVEL_STATUS_SUCCESS;
}

bool SimStreaming::ForceBufferSizes(uint32_t streamingClass, uint32_t asioClass, uint32_t third)
{
    if (streamingClass >= KORVEL_STREAMING_BUFFER_CLASS_COUNT ||
        asioClass >= KORVEL_ASIO_BUFFER_CLASS_COUNT) {
        return false;
    }
    bool changed =
        streamingClass != m_streamingClass || asioClass != m_asioClass || third != m_thirdWord;
    m_streamingClass = streamingClass;
    m_asioClass = asioClass;
    m_thirdWord = third;
    if (changed) {
        SettingsChanged();
    }
    return true;
}

uint32_t SimStreaming::SelectStreamingDevice(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelStreamingDeviceSelection), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    if (SettingsLocked()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    auto selection = SimRequestIo::ReadIn<KorvelStreamingDeviceSelection>(r);
    std::vector<SimDevice*> before = m_devices.StreamingDevices();
    uint32_t modeBefore = m_devices.Mode();
    status = m_devices.Select(selection.allDevices, selection.key);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    if (before != m_devices.StreamingDevices() || modeBefore != m_devices.Mode()) {
        OnDevicesChanged(true);
        SettingsChanged();
        // The selected-for-streaming flags of the device list changed.
        m_notifier.Broadcast(KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST, nullptr, 0);
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimStreaming::SetPolicy(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(uint32_t), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    if (SettingsLocked()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    ForcePolicy(SimRequestIo::ReadIn<uint32_t>(r));
    return KORVEL_STATUS_SUCCESS;
}

void SimStreaming::ForcePolicy(uint32_t policy)
{
    if (policy != m_policy) {
        m_policy = policy;
        SettingsChanged();
    }
}

void SimStreaming::OnDevicesChanged(bool streamingSetChanged)
{
    bool streaming = m_state == KORVEL_STREAMING_STATE_READY ||
                     m_state == KORVEL_STREAMING_STATE_PREPARED ||
                     m_state == KORVEL_STREAMING_STATE_RUNNING;
    if (streaming && (streamingSetChanged || !m_devices.HasStreamingDevice())) {
        m_state = KORVEL_STREAMING_STATE_DOWN;
    }
    std::vector<uint32_t> rates = m_devices.SupportedRates();
    if (!rates.empty() && std::find(rates.begin(), rates.end(), m_rate) == rates.end()) {
        bool hasDefault = std::find(rates.begin(), rates.end(), DEFAULT_RATE) != rates.end();
        m_rate = hasDefault ? DEFAULT_RATE : rates.front();
        SettingsChanged();
    }
}

void SimStreaming::OnHighSpeedChanged(bool highSpeed)
{
    bool streaming = m_state == KORVEL_STREAMING_STATE_READY ||
                     m_state == KORVEL_STREAMING_STATE_PREPARED ||
                     m_state == KORVEL_STREAMING_STATE_RUNNING;
    if (!highSpeed && streaming) {
        m_state = KORVEL_STREAMING_STATE_NOT_SUPPORTED;
    } else if (highSpeed && m_state == KORVEL_STREAMING_STATE_NOT_SUPPORTED) {
        m_notifier.Broadcast(KORVEL_NOTIFY_STREAM_RESTART_NEEDED, nullptr, 0);
    }
}

bool SimStreaming::ForceState(uint32_t state)
{
    if (state > KORVEL_STREAMING_STATE_NOT_SUPPORTED) {
        return false;
    }
    m_state = state;
    return true;
}

bool SimStreaming::StreamingNeeded() const
{
    return ActivityCount1() != 0 || m_activity[1] != 0 || m_activity[3] != 0 || m_activity[4] != 0;
}

uint32_t SimStreaming::ActivityCount1() const
{
    return m_activity[0] + static_cast<uint32_t>(m_asioClients.size());
}

template <class Change>
void SimStreaming::ChangeNeed(Change change)
{
    bool neededBefore = StreamingNeeded();
    change();
    bool neededAfter = StreamingNeeded();
    if (!neededBefore && neededAfter) {
        m_notifier.Broadcast(KORVEL_NOTIFY_STREAM_START_NEEDED, nullptr, 0);
    } else if (neededBefore && !neededAfter) {
        m_notifier.Broadcast(KORVEL_NOTIFY_STREAM_STOP_POSSIBLE, nullptr, 0);
    }
}

void SimStreaming::OnClientRequest(uint32_t connection, uint32_t clientType)
{
    if (clientType != KORVEL_CLIENT_ASIO || m_asioClients.count(connection) != 0) {
        return;
    }
    ChangeNeed([&] { m_asioClients.insert(connection); });
}

void SimStreaming::OnConnectionClosed(uint32_t connection)
{
    if (m_asioClients.count(connection) == 0) {
        return;
    }
    ChangeNeed([&] { m_asioClients.erase(connection); });
}

// Counts 1, 2, 4 and 5 say that streaming is needed: the driver asks the
// service to bring streaming up when the first of them becomes non-zero and
// tells it that it may stop when the last of them returns to zero.
bool SimStreaming::SetActivity(uint32_t number, uint32_t value)
{
    if (number < 1 || number > ACTIVITY_COUNTS) {
        return false;
    }
    ChangeNeed([&] { m_activity[number - 1] = value; });
    return true;
}

bool SimStreaming::SetCounter(uint32_t number, uint32_t value)
{
    if (number < 1 || number > STATUS_COUNTERS) {
        return false;
    }
    m_counters[number - 1] = value;
    return true;
}

void SimStreaming::Dump(std::vector<std::string>& lines) const
{
    auto join = [](const auto& values) {
        std::string text;
        for (uint32_t v : values) {
            text += (text.empty() ? "" : ",") + std::to_string(v);
        }
        return text;
    };
    KorvelBufferSizes sizes = BufferSizes();
    lines.push_back("stream.state=" + std::to_string(m_state));
    lines.push_back("stream.mode=" + std::to_string(m_devices.Mode()));
    lines.push_back("stream.rate=" + std::to_string(m_rate));
    lines.push_back("stream.announcedRate=" + std::to_string(m_announcedRate));
    lines.push_back("stream.rates=" + join(m_devices.SupportedRates()));
    lines.push_back("stream.bufferClass=" + std::to_string(m_streamingClass));
    lines.push_back("stream.asioClass=" + std::to_string(m_asioClass));
    lines.push_back("stream.thirdWord=" + std::to_string(m_thirdWord));
    lines.push_back("stream.latencyUs=" + std::to_string(sizes.streamingLatencyUs));
    lines.push_back("stream.asioLatencyUs=" + std::to_string(sizes.asioLatencyUs));
    lines.push_back("stream.asioSamples=" + std::to_string(sizes.asioBufferSize));
    lines.push_back("stream.policy=" + std::to_string(m_policy));
    lines.push_back("stream.activity=" + join(m_activity));
    lines.push_back("stream.asioClients=" + std::to_string(m_asioClients.size()));
    lines.push_back("stream.counters=" + join(m_counters));
    lines.push_back("stream.commands=" + std::to_string(m_commandCount));
    for (size_t i = 0; i < m_commandLog.size(); ++i) {
        const Command& c = m_commandLog[i];
        char status[16];
        std::snprintf(status, sizeof(status), "0x%08x", c.status);
        lines.push_back("stream.command." + std::to_string(i) + "=" + std::to_string(c.command) +
                        " argument=" + std::to_string(c.argument) + " status=" + status);
    }
}
