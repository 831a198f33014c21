#include "SimAsio.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "SimAsioSignalLog.h"
#include "SimDevice.h"
#include "SimNotifier.h"
#include "SimWords.h"
#include "SimDeviceSet.h"
#include "SimRequestIo.h"
#include "SimStreaming.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

SimAsio::SimAsio(SimDeviceSet& devices, SimStreaming& streaming, SimNotifier& notifier)
    : m_devices(devices), m_streaming(streaming), m_notifier(notifier)
{
}

SimAsio::~SimAsio()
{
    m_streams.clear(); // joins every pacing thread before the capture goes
    (void)m_capture.End();
}

bool SimAsio::IsAsioCode(uint32_t code)
{
    switch (code) {
    case IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG:
    case IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST:
    case IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO:
    case IOCTL_KORVEL_ASIO_GET_LATENCIES:
    case IOCTL_KORVEL_ASIO_ENABLE_CHANNEL:
    case IOCTL_KORVEL_ASIO_DISABLE_CHANNEL:
    case IOCTL_KORVEL_ASIO_CREATE_BUFFERS:
    case IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS:
    case IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER:
    case IOCTL_KORVEL_ASIO_START:
    case IOCTL_KORVEL_ASIO_STOP:
        return true;
    default:
        return false;
    }
}

uint32_t SimAsio::HandleRequest(SimRequest& r)
{
    // The ASIO group exists only on the ASIO control device, for ASIO clients.
    if (!r.asioDevice) {
        return KORVEL_STATUS_INVALID_IOCTL;
    }
    if (r.clientType != KORVEL_CLIENT_ASIO) {
        return KORVEL_STATUS_NOT_ALLOWED;
    }
    switch (r.code) {
    case IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG:
        return GetStreamConfig(r);
    case IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST:
        return GetChannelList(r);
    case IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO:
        return GetChannelInfo(r);
    case IOCTL_KORVEL_ASIO_GET_LATENCIES:
        return GetLatencies(r);
    case IOCTL_KORVEL_ASIO_ENABLE_CHANNEL:
        return EnableChannel(r, true);
    case IOCTL_KORVEL_ASIO_DISABLE_CHANNEL:
        return EnableChannel(r, false);
    case IOCTL_KORVEL_ASIO_CREATE_BUFFERS:
        return CreateBuffers(r);
    case IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER:
        return SetChannelBuffer(r);
    case IOCTL_KORVEL_ASIO_START:
        return Start(r);
    case IOCTL_KORVEL_ASIO_STOP:
        return Stop(r);
    case IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS:
        return DisposeBuffers(r);
    default:
        return KORVEL_STATUS_INVALID_IOCTL;
    }
}

SimAsioStream* SimAsio::FindStream(uint32_t connection)
{
    auto it = m_streams.find(connection);
    return it == m_streams.end() ? nullptr : it->second.get();
}

const SimAsioStream* SimAsio::Stream(uint32_t connection) const
{
    auto it = m_streams.find(connection);
    return it == m_streams.end() ? nullptr : it->second.get();
}

void SimAsio::NotifyClientStream(uint32_t code, const SimAsioStream& stream)
{
    KorvelClientStreamNotice notice{stream.Connection(), stream.ProcessId()};
    m_notifier.Broadcast(code, &notice, sizeof notice);
}

uint32_t SimAsio::CreateBuffers(SimRequest& r)
{
    auto setup = SimRequestIo::ReadIn<KorvelAsioBufferSetup>(r);
    const bool first = m_streams.empty();
    std::unique_ptr<SimAsioStream>& stream = m_streams[r.connection];
    if (!stream) {
        stream = std::make_unique<SimAsioStream>(r.connection, r.processId, m_streaming, m_capture);
    }
    uint32_t status = stream->Create(setup);
    if (!stream->Created()) {
        m_streams.erase(r.connection); // a failed announcement leaves no buffers
        return status;
    }
    if (status == KORVEL_STATUS_SUCCESS && first) {
        NotifyClientStream(KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED, *stream);
    }
    return status;
}

const SimAsio::Enabled* SimAsio::FindEnabled(uint32_t connection, KorvelChannelKey key) const
{
    auto it = m_enabled.find(connection);
    if (it == m_enabled.end()) {
        return nullptr;
    }
    for (const Enabled& e : it->second) {
        if (e.key == Key{key.word0, key.word1}) {
            return &e;
        }
    }
    return nullptr;
}

bool SimAsio::DescribeChannel(KorvelChannelKey key, SimAsioStream::Channel& channel) const
{
    for (SimDevice* device : m_devices.StreamingDevices()) {
        uint32_t direction = 0;
        uint32_t index = 0;
        if (device->FindChannel(key, direction, index)) {
            KorvelChannelInfo info = device->ChannelInfo(direction, index, m_streaming.Rate());
            channel.key = key;
            channel.input = direction == SimDevice::DIRECTION_INPUT;
            channel.dsd = info.reserved1[1] == KORVEL_ASIO_FORMAT_DSD;
            channel.index = index;
            channel.pin = device->LevelPin(direction, index);
            channel.meter = device->Meter();
            return true;
        }
    }
    return false;
}

uint32_t SimAsio::SetChannelBuffer(SimRequest& r)
{
    auto request = SimRequestIo::ReadIn<KorvelAsioChannelBuffer>(r);
    SimAsioStream* stream = FindStream(r.connection);
    if (stream == nullptr) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    SimAsioStream::Channel channel;
    if (!DescribeChannel(request.id, channel)) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND;
    }
    const Enabled* enabled = FindEnabled(r.connection, request.id);
    if (enabled == nullptr) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    channel.order = enabled->order;
    return stream->SetChannelBuffer(channel, request.buffer, request.halfBytes,
                                    request.formatWord);
}

uint32_t SimAsio::Start(SimRequest& r)
{
    SimAsioStream* stream = FindStream(r.connection);
    if (stream == nullptr) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    if (stream->Running()) {
        return KORVEL_STATUS_ALREADY_DONE;
    }
    if (m_streaming.State() != KORVEL_STREAMING_STATE_RUNNING) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    auto log = std::make_shared<SimAsioSignalLog>();
    std::optional<SimAsioStream::Loopback> loopback;
    if (m_loopback) {
        loopback = SimAsioStream::Loopback{m_loopback->output, m_loopback->input,
                                           EXTRA_OUTPUT_LATENCY + EXTRA_INPUT_LATENCY};
    }
    uint32_t status = stream->Start(m_streaming.Rate(), log, loopback);
    if (status == KORVEL_STATUS_SUCCESS) {
        m_lastLog = log;
    }
    return status;
}

uint32_t SimAsio::Stop(SimRequest& r)
{
    SimAsioStream* stream = FindStream(r.connection);
    return stream == nullptr ? KORVEL_STATUS_INVALID_STATE : stream->Stop();
}

uint32_t SimAsio::DisposeBuffers(SimRequest& r)
{
    if (FindStream(r.connection) == nullptr) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    ReleaseStream(r.connection);
    return KORVEL_STATUS_SUCCESS;
}

void SimAsio::ReleaseStream(uint32_t connection)
{
    auto it = m_streams.find(connection);
    if (it == m_streams.end()) {
        return;
    }
    std::unique_ptr<SimAsioStream> stream = std::move(it->second);
    m_streams.erase(it);
    (void)stream->Stop(); // joins the pacing thread
    m_endedLine = "asio.ended=" + stream->DumpLine().substr(std::string("asio.stream=").size());
    if (m_streams.empty()) {
        NotifyClientStream(KORVEL_NOTIFY_CLIENT_STREAM_STOP_POSSIBLE, *stream);
    }
}

uint32_t SimAsio::GetStreamConfig(SimRequest& r) const
{
    KorvelAsioStreamConfig config{};
    config.currentRate = m_streaming.Rate();
    for (uint32_t rate : m_devices.SupportedRates()) {
        if (config.rateCount < KORVEL_MAX_SAMPLE_RATES) {
            config.rates[config.rateCount++] = rate;
        }
    }
    uint32_t samples = m_streaming.BufferSizes().asioBufferSize;
    bool dsd = config.currentRate >= KORVEL_DSD_MIN_SAMPLE_RATE;
    config.bufferSize = dsd ? samples / DSD_BLOCK_SAMPLES : samples;
    if (m_rateCount) {
        config.rateCount = *m_rateCount;
    }
    SimRequestIo::WriteOut(r, config);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimAsio::GetChannelList(SimRequest& r) const
{
    KorvelAsioChannelList list{};
    const uint32_t directions[KORVEL_ASIO_CHANNEL_TABLES] = {SimDevice::DIRECTION_INPUT,
                                                             SimDevice::DIRECTION_OUTPUT};
    for (uint32_t t = 0; t < KORVEL_ASIO_CHANNEL_TABLES; ++t) {
        KorvelChannelList& table = list.tables[t];
        for (SimDevice* device : m_devices.StreamingDevices()) {
            for (uint32_t i = 0; i < device->ChannelCount(directions[t]) &&
                                 table.count < KORVEL_MAX_CHANNELS;
                 ++i) {
                table.keys[table.count++] = device->ChannelKey(directions[t], i);
            }
        }
        if (m_keyCount) {
            table.count = *m_keyCount;
        }
    }
    SimRequestIo::WriteOut(r, list);
    return KORVEL_STATUS_SUCCESS;
}

bool SimAsio::FindChannelInfo(KorvelChannelKey key, KorvelAsioChannelInfo& info) const
{
    for (SimDevice* device : m_devices.StreamingDevices()) {
        uint32_t direction = 0;
        uint32_t index = 0;
        if (device->FindChannel(key, direction, index)) {
            KorvelChannelInfo channel = device->ChannelInfo(direction, index, m_streaming.Rate());
            info = KorvelAsioChannelInfo{};
            info.id = key;
            info.deviceKey = channel.deviceKey;
            info.direction = channel.reserved1[0];
            info.format = channel.reserved1[1];
            static_assert(sizeof(info.name) == sizeof(channel.name));
            std::copy(std::begin(channel.name), std::end(channel.name), info.name);
            return true;
        }
    }
    return false;
}

uint32_t SimAsio::GetChannelInfo(SimRequest& r)
{
    ++m_infoRequests;
    if (m_failInfoAt != 0 && m_infoRequests == m_failInfoAt) {
        m_failInfoAt = 0;
        return m_failInfoStatus;
    }
    KorvelAsioChannelInfo info{};
    if (!FindChannelInfo(SimRequestIo::ReadIn<KorvelChannelKey>(r), info)) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND;
    }
    if (m_unterminatedNames) {
        for (wchar_t& unit : info.name) {
            unit = unit != L'\0' ? unit : L'X';
        }
    }
    SimRequestIo::WriteOut(r, info);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimAsio::GetLatencies(SimRequest& r) const
{
    SimRequestIo::WriteOut(r, KorvelAsioLatencies{EXTRA_INPUT_LATENCY, EXTRA_OUTPUT_LATENCY});
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimAsio::EnableChannel(SimRequest& r, bool enable)
{
    auto key = SimRequestIo::ReadIn<KorvelChannelKey>(r);
    KorvelAsioChannelInfo info{};
    if (!FindChannelInfo(key, info)) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND;
    }
    std::vector<Enabled>& enabled = m_enabled[r.connection];
    const Key wanted{key.word0, key.word1};
    auto found = std::find_if(enabled.begin(), enabled.end(),
                              [&](const Enabled& e) { return e.key == wanted; });
    if (enable) {
        if (found == enabled.end()) { // enabling twice is harmless
            enabled.push_back(Enabled{wanted, ++m_enableOrder});
        }
        ++m_enables;
        return KORVEL_STATUS_SUCCESS;
    }
    if (found == enabled.end()) {
        return KORVEL_STATUS_INVALID_STATE; // never enabled on this connection
    }
    SimAsioStream* stream = FindStream(r.connection);
    if (stream != nullptr && stream->Running()) {
        return KORVEL_STATUS_INVALID_STATE; // its buffer is being streamed
    }
    if (stream != nullptr) {
        stream->RemoveChannel(key);
    }
    enabled.erase(found);
    ++m_disables;
    return KORVEL_STATUS_SUCCESS;
}

void SimAsio::OnConnectionClosed(uint32_t connection)
{
    // A closed handle stops its stream and withdraws its buffers and what it
    // enabled, as the driver's cleanup does.
    ReleaseStream(connection);
    m_enabled.erase(connection);
}

size_t SimAsio::EnabledCount() const
{
    size_t count = 0;
    for (const auto& [connection, keys] : m_enabled) {
        count += keys.size();
    }
    return count;
}

std::string SimAsio::Control(const std::vector<std::string>& words, bool& handled)
{
    const std::string command = words.empty() ? std::string() : words[0];
    handled = true;
    if (command == "asio-fault") {
        return Fault(words);
    }
    if (command == "asio-capture") {
        return Capture(words);
    }
    if (command == "asio-signal-log") {
        return SignalLog(words);
    }
    if (command == "asio-loopback") {
        return LoopbackCommand(words);
    }
    handled = false;
    return std::string();
}

std::string SimAsio::Capture(const std::vector<std::string>& words)
{
    if (words.size() != 2) {
        return "ERR usage: asio-capture <path.wav> | stop";
    }
    std::string error =
        words[1] == "stop" ? m_capture.End() : m_capture.Begin(words[1], m_streaming.Rate());
    return error.empty() ? "OK" : "ERR " + error;
}

// The key of ASIO channel `number` of a direction: its place in the
// channel list, inputs in table 0 and outputs in table 1.
bool SimAsio::ChannelOfNumber(bool input, uint32_t number, KorvelChannelKey& key) const
{
    const uint32_t direction = input ? SimDevice::DIRECTION_INPUT : SimDevice::DIRECTION_OUTPUT;
    for (SimDevice* device : m_devices.StreamingDevices()) {
        const uint32_t count = device->ChannelCount(direction);
        if (number < count) {
            key = device->ChannelKey(direction, number);
            return true;
        }
        number -= count;
    }
    return false;
}

std::string SimAsio::LoopbackCommand(const std::vector<std::string>& words)
{
    if (words.size() == 2 && words[1] == "off") {
        m_loopback.reset();
        return "OK";
    }
    Loopback loopback;
    if (words.size() != 3 || !SimWords::ParseU32(words[1], loopback.outputNumber) ||
        !SimWords::ParseU32(words[2], loopback.inputNumber)) {
        return "ERR usage: asio-loopback <output> <input> | off";
    }
    if (!ChannelOfNumber(false, loopback.outputNumber, loopback.output)) {
        return "ERR no output " + words[1] + " among the streaming devices' channels";
    }
    if (!ChannelOfNumber(true, loopback.inputNumber, loopback.input)) {
        return "ERR no input " + words[2] + " among the streaming devices' channels";
    }
    m_loopback = loopback;
    return "OK";
}

std::string SimAsio::SignalLog(const std::vector<std::string>& words) const
{
    if (words.size() != 2) {
        return "ERR usage: asio-signal-log <path>";
    }
    if (!m_lastLog) {
        return "ERR no ASIO stream has started";
    }
    return m_lastLog->WriteTo(words[1]) ? "OK" : "ERR cannot write " + words[1];
}

std::string SimAsio::Fault(const std::vector<std::string>& words)
{
    uint32_t value = 0;
    const std::string what = words.size() > 1 ? words[1] : "";
    if (what == "clear" && words.size() == 2) {
        m_rateCount.reset();
        m_keyCount.reset();
        m_unterminatedNames = false;
        m_failInfoAt = 0;
        return "OK";
    }
    if (words.size() == 3 && SimWords::ParseU32(words[2], value)) {
        if (what == "rate-count") {
            m_rateCount = value;
            return "OK";
        }
        if (what == "key-count") {
            m_keyCount = value;
            return "OK";
        }
        if (what == "unterminated-names" && value <= 1) {
            m_unterminatedNames = value == 1;
            return "OK";
        }
    }
    uint32_t status = 0;
    if (what == "fail-info" && words.size() == 4 && SimWords::ParseU32(words[2], value) &&
        value >= 1 && SimWords::ParseHex32(words[3], status)) {
        m_failInfoAt = m_infoRequests + value;
        m_failInfoStatus = status;
        return "OK";
    }
    return "ERR usage: asio-fault rate-count <n> | key-count <n> | unterminated-names 0|1 | "
           "fail-info <n> <status> | clear";
}

void SimAsio::Dump(std::vector<std::string>& lines) const
{
    std::string keys;
    for (const auto& [connection, enabled] : m_enabled) {
        for (const Enabled& e : enabled) {
            char text[32];
            std::snprintf(text, sizeof(text), "%s%u:%u", keys.empty() ? "" : ",", e.key.first,
                          e.key.second);
            keys += text;
        }
    }
    lines.push_back("asio.enabled=" + std::to_string(EnabledCount()));
    lines.push_back("asio.enabledKeys=" + keys);
    lines.push_back("asio.enables=" + std::to_string(m_enables));
    lines.push_back("asio.disables=" + std::to_string(m_disables));
    lines.push_back("asio.infoRequests=" + std::to_string(m_infoRequests));
    std::string faults;
    if (m_rateCount) {
        faults += " rate-count=" + std::to_string(*m_rateCount);
    }
    if (m_keyCount) {
        faults += " key-count=" + std::to_string(*m_keyCount);
    }
    if (m_unterminatedNames) {
        faults += " unterminated-names";
    }
    if (m_failInfoAt != 0) {
        faults += " fail-info-at=" + std::to_string(m_failInfoAt);
    }
    lines.push_back("asio.faults=" + (faults.empty() ? std::string() : faults.substr(1)));
    lines.push_back("asio.loopback=" +
                    (m_loopback ? std::to_string(m_loopback->outputNumber) + ":" +
                                      std::to_string(m_loopback->inputNumber)
                                : std::string("-")));
    lines.push_back("asio.streams=" + std::to_string(m_streams.size()));
    for (const auto& [connection, stream] : m_streams) {
        lines.push_back(stream->DumpLine());
    }
    lines.push_back(m_endedLine.empty() ? "asio.ended=-" : m_endedLine);
    lines.push_back(m_capture.DumpLine());
}
