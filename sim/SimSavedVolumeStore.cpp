#include "SimSavedVolumeStore.h"

#include "KorvelStatus.h"
#include "SimRequestIo.h"

uint32_t SimSavedVolumeStore::CheckRecord(const KorvelSavedVolume& record)
{
    if (record.kind != KORVEL_SAVED_VOLUME_KIND_RENDER_GAINS || record.pairIndex > MAX_PAIR_INDEX) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimSavedVolumeStore::Get(const std::string& serial, SimRequest& r) const
{
    uint32_t status =
        SimRequestIo::CheckFixed(r, sizeof(KorvelSavedVolume), sizeof(KorvelSavedVolume));
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto query = SimRequestIo::ReadIn<KorvelSavedVolume>(r);
    status = CheckRecord(query);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    KorvelSavedVolume saved{};
    if (!Find(serial, query.kind, query.pairIndex, saved)) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND; // nothing saved for this pair yet
    }
    SimRequestIo::WriteOut(r, saved);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimSavedVolumeStore::Save(const std::string& serial, SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelSavedVolume), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto record = SimRequestIo::ReadIn<KorvelSavedVolume>(r);
    status = CheckRecord(record);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    m_store[serial][{record.kind, record.pairIndex}] = record;
    return KORVEL_STATUS_SUCCESS;
}

bool SimSavedVolumeStore::Find(const std::string& serial, uint32_t kind, uint32_t index,
                               KorvelSavedVolume& out) const
{
    auto device = m_store.find(serial);
    if (device == m_store.end()) {
        return false;
    }
    auto entry = device->second.find({kind, index});
    if (entry == device->second.end()) {
        return false;
    }
    out = entry->second;
    return true;
}

size_t SimSavedVolumeStore::Size() const
{
    size_t size = 0;
    for (const auto& device : m_store) {
        size += device.second.size();
    }
    return size;
}

void SimSavedVolumeStore::Dump(std::vector<std::string>& lines) const
{
    for (const auto& [serial, entries] : m_store) {
        for (const auto& [id, record] : entries) {
            std::string gains;
            std::string mutes;
            for (uint32_t k = 0; k < KORVEL_SAVED_VOLUME_CHANNELS; ++k) {
                gains += (k == 0 ? "" : ",") + std::to_string(record.gains[k]);
                mutes += (k == 0 ? "" : ",") + std::to_string(record.mutes[k]);
            }
            lines.push_back("saved." + serial + "." + std::to_string(id.first) + "." +
                            std::to_string(id.second) + "=" + gains + " mutes=" + mutes);
        }
    }
}
