#pragma once
// The kernel driver's volume store: saved output gains of render pairs, kept
// per device serial number so that a device that is unplugged and plugged in
// again finds what was saved for it (for the simulator's lifetime).
#include "KorvelServiceRecords.h"
#include "SimRequest.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class SimSavedVolumeStore
{
public:
    static constexpr uint32_t MAX_PAIR_INDEX = 31; // render lists hold 32 entries

    // IOCTL_KORVEL_GET_SAVED_VOLUME / IOCTL_KORVEL_SAVE_VOLUME for the device
    // with this serial number.
    uint32_t Get(const std::string& serial, SimRequest& r) const;
    uint32_t Save(const std::string& serial, SimRequest& r);

    bool Find(const std::string& serial, uint32_t kind, uint32_t index,
              KorvelSavedVolume& out) const;
    size_t Size() const;

    // "saved.<serial>.<kind>.<index>=g0,…,g15 mutes=m0,…,m15" lines.
    void Dump(std::vector<std::string>& lines) const;

private:
    static uint32_t CheckRecord(const KorvelSavedVolume& record);

    std::map<std::string, std::map<std::pair<uint32_t, uint32_t>, KorvelSavedVolume>> m_store;
};
