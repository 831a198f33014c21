#include "SimDeviceSet.h"

#include "KorvelStatus.h"

#include <algorithm>
#include <cstdio>

SimDeviceSet::SimDeviceSet(SimNotifier& notifier, SimSavedVolumeStore& volumes)
    : m_notifier(notifier), m_volumes(volumes)
{
}

std::string SimDeviceSet::NextSerial()
{
    char serial[16];
    do {
        std::snprintf(serial, sizeof(serial), "SIM%04u", ++m_serialCount % 10000);
    } while (FindSerial(serial) != nullptr);
    return serial;
}

uint32_t SimDeviceSet::Plug(SimDeviceConfig config, size_t& index, std::string& error)
{
    if (m_devices.size() >= KORVEL_MAX_DEVICES) {
        error = "device limit reached (8 devices plugged)";
        return KORVEL_STATUS_NO_RESOURCES;
    }
    if (config.serial.empty()) {
        config.serial = NextSerial();
    } else if (FindSerial(config.serial) != nullptr) {
        error = "a device with serial " + config.serial + " is already plugged";
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    ++m_plugCount;
    KorvelDeviceKey key{0x00010000u + m_plugCount, 0x4B560000u | (m_plugCount & 0xFFFF)};
    m_devices.push_back(std::make_unique<SimDevice>(config, key, m_notifier, m_volumes));
    index = m_devices.size() - 1;
    RepairSelection();
    return KORVEL_STATUS_SUCCESS;
}

void SimDeviceSet::Unplug(size_t index)
{
    if (index < m_devices.size()) {
        m_devices.erase(m_devices.begin() + static_cast<ptrdiff_t>(index));
        RepairSelection();
    }
}

SimDevice* SimDeviceSet::At(size_t index) const
{
    return index < m_devices.size() ? m_devices[index].get() : nullptr;
}

SimDevice* SimDeviceSet::Find(KorvelDeviceKey key) const
{
    for (const auto& device : m_devices) {
        if (device->Key() == key) {
            return device.get();
        }
    }
    return nullptr;
}

SimDevice* SimDeviceSet::FindSerial(const std::string& serial) const
{
    for (const auto& device : m_devices) {
        if (device->Serial() == serial) {
            return device.get();
        }
    }
    return nullptr;
}

int SimDeviceSet::Resolve(const std::string& word) const
{
    if (word.size() == 1 && word[0] >= '0' && word[0] <= '7') {
        size_t index = static_cast<size_t>(word[0] - '0');
        if (index < m_devices.size()) {
            return static_cast<int>(index);
        }
    }
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i]->Serial() == word) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

uint32_t SimDeviceSet::Select(uint32_t allDevices, KorvelDeviceKey key)
{
    if (allDevices > 1) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    if (m_devices.empty()) {
        return KORVEL_STATUS_NO_DEVICES;
    }
    // One device streams: the key must name it. All devices stream: the
    // key may be zero (the selection stays) or name the one kept selected.
    bool anyKey = allDevices == 1 && key.word0 == 0 && key.word1 == 0;
    if (!anyKey && Find(key) == nullptr) {
        return KORVEL_STATUS_NO_DEVICE;
    }
    m_mode = allDevices;
    if (!anyKey) {
        m_selected = key;
    }
    RepairSelection();
    return KORVEL_STATUS_SUCCESS;
}

void SimDeviceSet::RepairSelection()
{
    if (Find(m_selected) == nullptr) {
        m_selected = m_devices.empty() ? KorvelDeviceKey{0, 0} : m_devices.front()->Key();
    }
    ApplySelectionFlags();
}

void SimDeviceSet::ApplySelectionFlags()
{
    for (const auto& device : m_devices) {
        device->SetSelected(m_mode == KORVEL_STREAMING_MODE_ALL || device->Key() == m_selected);
    }
}

std::vector<SimDevice*> SimDeviceSet::StreamingDevices() const
{
    std::vector<SimDevice*> streaming;
    for (const auto& device : m_devices) {
        if (device->Selected()) {
            streaming.push_back(device.get());
        }
    }
    return streaming;
}

std::vector<uint32_t> SimDeviceSet::SupportedRates() const
{
    std::vector<SimDevice*> streaming = StreamingDevices();
    if (streaming.empty()) {
        return {};
    }
    std::vector<uint32_t> rates;
    for (uint32_t rate : streaming.front()->Config().rates) {
        bool everywhere = std::all_of(streaming.begin(), streaming.end(), [rate](SimDevice* d) {
            const auto& own = d->Config().rates;
            return std::find(own.begin(), own.end(), rate) != own.end();
        });
        if (everywhere) {
            rates.push_back(rate);
        }
    }
    return rates;
}
