#include "SimDeviceModel.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "SimConfigFile.h"
#include "SimNotifier.h"
#include "SimRequestIo.h"

#include <set>

SimDeviceModel::SimDeviceModel(SimNotifier& notifier)
    : m_notifier(notifier), m_devices(notifier, m_volumes), m_streaming(m_devices, notifier),
      m_asio(m_devices, m_streaming, notifier), m_commands(*this)
{
}

uint32_t SimDeviceModel::HandleDriverRequest(SimRequest& r)
{
    r.bytesReturned = 0;
    m_streaming.OnClientRequest(r.connection, r.clientType);
    uint32_t status = DriverRequest(r);
    if (status != KORVEL_STATUS_SUCCESS) {
        r.bytesReturned = 0; // a failed request returns no data
    }
    return status;
}

uint32_t SimDeviceModel::DriverRequest(SimRequest& r)
{
    if (SimStreaming::IsStreamingCode(r.code)) {
        return m_streaming.HandleRequest(r);
    }
    if (SimAsio::IsAsioCode(r.code)) {
        return m_asio.HandleRequest(r);
    }
    switch (r.code) {
    case IOCTL_KORVEL_GET_DEVICE_LIST:
        return GetDeviceList(r);
    case IOCTL_KORVEL_GET_INPUT_CHANNELS:
        return GetChannels(r, SimDevice::DIRECTION_INPUT);
    case IOCTL_KORVEL_GET_OUTPUT_CHANNELS:
        return GetChannels(r, SimDevice::DIRECTION_OUTPUT);
    case IOCTL_KORVEL_GET_CHANNEL_INFO:
        return GetChannelInfo(r);
    default:
        // Device-level codes need a device handle.
        return KORVEL_STATUS_INVALID_IOCTL;
    }
}

uint32_t SimDeviceModel::HandleDeviceRequest(SimRequest& r)
{
    r.bytesReturned = 0;
    SimDevice* device = m_devices.Find(KorvelDeviceKey{r.keyWord0, r.keyWord1});
    if (!r.deviceBound || device == nullptr) {
        return KORVEL_STATUS_DEVICE_REMOVED;
    }
    uint32_t status = device->HandleRequest(r);
    if (status != KORVEL_STATUS_SUCCESS) {
        r.bytesReturned = 0; // a failed request returns no data
    }
    return status;
}

bool SimDeviceModel::HasDevice(uint32_t keyWord0, uint32_t keyWord1) const
{
    return m_devices.Find(KorvelDeviceKey{keyWord0, keyWord1}) != nullptr;
}

uint32_t SimDeviceModel::GetDeviceList(SimRequest& r) const
{
    uint32_t status = SimRequestIo::CheckFixed(r, 0, sizeof(KorvelDeviceList));
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    KorvelDeviceList list{};
    for (size_t i = 0; i < m_devices.Count() && i < KORVEL_MAX_DEVICES; ++i) {
        list.devices[list.count++] = m_devices.At(i)->Info();
    }
    SimRequestIo::WriteOut(r, list);
    return KORVEL_STATUS_SUCCESS;
}

// The channels of the streaming device, or of all devices in all-devices
// mode, in device order; the record holds at most 96 and the rest are left out.
uint32_t SimDeviceModel::GetChannels(SimRequest& r, uint32_t direction) const
{
    uint32_t status = SimRequestIo::CheckFixed(r, 0, sizeof(KorvelChannelList));
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    KorvelChannelList list{};
    for (SimDevice* device : m_devices.StreamingDevices()) {
        for (uint32_t i = 0;
             i < device->ChannelCount(direction) && list.count < KORVEL_MAX_CHANNELS; ++i) {
            list.keys[list.count++] = device->ChannelKey(direction, i);
        }
    }
    SimRequestIo::WriteOut(r, list);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDeviceModel::GetChannelInfo(SimRequest& r) const
{
    uint32_t status =
        SimRequestIo::CheckFixed(r, sizeof(KorvelChannelKey), sizeof(KorvelChannelInfo));
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto key = SimRequestIo::ReadIn<KorvelChannelKey>(r);
    for (size_t d = 0; d < m_devices.Count(); ++d) {
        uint32_t direction = 0;
        uint32_t index = 0;
        if (m_devices.At(d)->FindChannel(key, direction, index)) {
            SimRequestIo::WriteOut(
                r, m_devices.At(d)->ChannelInfo(direction, index, m_streaming.Rate()));
            return KORVEL_STATUS_SUCCESS;
        }
    }
    return KORVEL_STATUS_OBJECT_NOT_FOUND;
}

uint32_t SimDeviceModel::Plug(const SimDeviceConfig& config, size_t& index, std::string& error)
{
    std::vector<SimDevice*> before = m_devices.StreamingDevices();
    uint32_t status = m_devices.Plug(config, index, error);
    if (status == KORVEL_STATUS_SUCCESS) {
        m_streaming.OnDevicesChanged(before != m_devices.StreamingDevices());
        m_notifier.Broadcast(KORVEL_NOTIFY_DEVICE_LIST_CHANGED, nullptr, 0);
        m_notifier.AnnounceArrival();
    }
    return status;
}

void SimDeviceModel::Unplug(size_t index)
{
    if (index >= m_devices.Count()) {
        return;
    }
    // Compare keys, not pointers: the removed device's memory may be reused.
    auto keys = [this] {
        std::vector<std::pair<uint32_t, uint32_t>> list;
        for (SimDevice* device : m_devices.StreamingDevices()) {
            list.emplace_back(device->Key().word0, device->Key().word1);
        }
        return list;
    };
    auto before = keys();
    m_devices.Unplug(index);
    m_streaming.OnDevicesChanged(before != keys());
    m_notifier.Broadcast(KORVEL_NOTIFY_DEVICE_LIST_CHANGED, nullptr, 0);
    m_notifier.AnnounceRemoval();
}

uint32_t SimDeviceModel::AddDevices(unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        size_t index = 0;
        std::string error;
        uint32_t status = Plug(SimDeviceConfig{}, index, error);
        if (status != KORVEL_STATUS_SUCCESS) {
            m_configError = error;
            return status;
        }
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDeviceModel::LoadConfig(const std::wstring& path)
{
    std::vector<SimDeviceConfig> configs;
    uint32_t status = SimConfigFile::Read(path, configs, m_configError);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    if (m_devices.Count() + configs.size() > KORVEL_MAX_DEVICES) {
        m_configError = "more than 8 devices";
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    std::set<std::string> serials;
    for (size_t i = 0; i < m_devices.Count(); ++i) {
        serials.insert(m_devices.At(i)->Serial());
    }
    for (const SimDeviceConfig& config : configs) {
        if (!config.serial.empty() && !serials.insert(config.serial).second) {
            m_configError = "serial " + config.serial + " given twice";
            return KORVEL_STATUS_INVALID_PARAMETER;
        }
    }
    for (const SimDeviceConfig& config : configs) {
        size_t index = 0;
        status = Plug(config, index, m_configError);
        if (status != KORVEL_STATUS_SUCCESS) {
            return status;
        }
    }
    m_configError.clear();
    return KORVEL_STATUS_SUCCESS;
}

std::string SimDeviceModel::Control(const std::vector<std::string>& words, bool& handled)
{
    std::string answer = m_asio.Control(words, handled);
    return handled ? answer : m_commands.Execute(words, handled);
}

void SimDeviceModel::OnConnectionClosed(uint32_t connection, uint32_t /*processId*/)
{
    m_streaming.OnConnectionClosed(connection);
    m_asio.OnConnectionClosed(connection);
}

std::vector<std::string> SimDeviceModel::DumpLines() const
{
    std::vector<std::string> lines;
    lines.push_back("model.devices=" + std::to_string(m_devices.Count()));
    m_streaming.Dump(lines);
    m_asio.Dump(lines);
    lines.push_back("saved.count=" + std::to_string(m_volumes.Size()));
    m_volumes.Dump(lines);
    for (size_t i = 0; i < m_devices.Count(); ++i) {
        m_devices.At(i)->Dump("dev." + std::to_string(i) + ".", lines);
    }
    return lines;
}
