#include "SimAsio.h"

#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "SimDevice.h"
#include "SimWords.h"
#include "SimDeviceSet.h"
#include "SimRequestIo.h"
#include "SimStreaming.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

SimAsio::SimAsio(SimDeviceSet& devices, SimStreaming& streaming)
    : m_devices(devices), m_streaming(streaming)
{
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
    default:
        return KORVEL_STATUS_NOT_SUPPORTED;
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
    std::set<Key>& enabled = m_enabled[r.connection];
    if (enable) {
        enabled.insert(Key{key.word0, key.word1}); // enabling twice is harmless
        ++m_enables;
        return KORVEL_STATUS_SUCCESS;
    }
    if (enabled.erase(Key{key.word0, key.word1}) == 0) {
        return KORVEL_STATUS_INVALID_STATE; // never enabled on this connection
    }
    ++m_disables;
    return KORVEL_STATUS_SUCCESS;
}

void SimAsio::OnConnectionClosed(uint32_t connection)
{
    // A closed handle withdraws what it enabled, as the driver's cleanup does.
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
    handled = !words.empty() && words[0] == "asio-fault";
    return handled ? Fault(words) : std::string();
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
        for (const Key& key : enabled) {
            char text[32];
            std::snprintf(text, sizeof(text), "%s%u:%u", keys.empty() ? "" : ",", key.first,
                          key.second);
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
}
