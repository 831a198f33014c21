#pragma once
// The devices plugged into the simulator (at most 8, in plug order) and the
// streaming selection: one selected device, or all devices together. Keys are
// assigned here; every plug gets a key never used before, so a device that is
// unplugged and plugged again is a new device to its clients.
#include "KorvelRecords.h"
#include "SimDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SimDeviceSet
{
public:
    SimDeviceSet(SimNotifier& notifier, SimSavedVolumeStore& volumes);

    // Plugs a device; a config without serial gets a generated one. Fails with
    // KORVEL_STATUS_NO_RESOURCES when 8 devices are plugged and with
    // KORVEL_STATUS_INVALID_PARAMETER when the serial is already plugged.
    uint32_t Plug(SimDeviceConfig config, size_t& index, std::string& error);
    void Unplug(size_t index);

    size_t Count() const { return m_devices.size(); }
    SimDevice* At(size_t index) const;
    SimDevice* Find(KorvelDeviceKey key) const;
    SimDevice* FindSerial(const std::string& serial) const;
    // A device named by its list index ("0".."7") or else by its serial; -1 when none.
    int Resolve(const std::string& word) const;

    // Streaming selection. Select({0,0}) in single mode keeps the current
    // device or picks the first one.
    uint32_t Mode() const { return m_mode; }
    uint32_t Select(uint32_t allDevices, KorvelDeviceKey key);
    // After a plug or unplug: keeps a valid selection, picks the first device
    // in single mode when the selected one is gone.
    void RepairSelection();
    std::vector<SimDevice*> StreamingDevices() const;
    bool HasStreamingDevice() const { return !StreamingDevices().empty(); }
    // Rates every streaming device supports, in the first device's order.
    std::vector<uint32_t> SupportedRates() const;

private:
    void ApplySelectionFlags();
    std::string NextSerial();

    SimNotifier& m_notifier;
    SimSavedVolumeStore& m_volumes;
    std::vector<std::unique_ptr<SimDevice>> m_devices;
    uint32_t m_mode = KORVEL_STREAMING_MODE_SINGLE;
    KorvelDeviceKey m_selected{0, 0};
    uint32_t m_plugCount = 0;
    uint32_t m_serialCount = 0;
};
