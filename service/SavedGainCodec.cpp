#include "SavedGainCodec.h"

#include <algorithm>

int32_t SavedGainCodec::ToSaved(int16_t hundredths)
{
    return static_cast<int32_t>(static_cast<int64_t>(hundredths) * 65536 / 100);
}

int16_t SavedGainCodec::FromSaved(int32_t saved)
{
    int64_t hundredths = static_cast<int64_t>(saved) * 100 / 65536;
    hundredths = std::clamp<int64_t>(hundredths, KORVEL_MIXER_SERVICE_GAIN_MIN,
                                     KORVEL_MIXER_SERVICE_GAIN_MAX);
    return static_cast<int16_t>(hundredths);
}

uint32_t SavedGainCodec::BuildGainQuery(const KorvelWdmPairEntry& entry,
                                        KorvelMixerGain (&gains)[MAX_GAIN_ENTRIES])
{
    // The pair count comes from a kept table; it cannot name more pairs than
    // the entry has slots for.
    const uint32_t pairs = std::min(entry.pairCount, KORVEL_WDM_PAIR_NUMBERS);
    const uint8_t pinType =
        entry.type == KORVEL_WDM_TYPE_ANALOG ? KORVEL_MIXER_PIN_ANALOG : KORVEL_MIXER_PIN_SPDIF;
    for (uint32_t j = 0; j < pairs; ++j) {
        for (uint32_t side = 0; side < 2; ++side) {
            KorvelMixerGain& gain = gains[2 * j + side];
            gain = KorvelMixerGain{};
            gain.pin.type = pinType;
            gain.pin.channel = static_cast<uint8_t>(2 * entry.pairNumbers[j] + side);
        }
    }
    return 2 * pairs;
}

KorvelSavedVolume SavedGainCodec::ToSavedVolume(uint32_t pairIndex, const KorvelMixerGain* gains,
                                                uint32_t count)
{
    KorvelSavedVolume saved{};
    saved.kind = KORVEL_SAVED_VOLUME_KIND_RENDER_GAINS;
    saved.pairIndex = pairIndex;
    count = std::min(count, KORVEL_SAVED_VOLUME_CHANNELS);
    for (uint32_t k = 0; k < count; ++k) {
        saved.gains[k] = ToSaved(gains[k].gain);
        saved.mutes[k] = gains[k].flags & KORVEL_MIXER_GAIN_FLAG_MUTED;
    }
    return saved;
}

void SavedGainCodec::FromSavedVolume(const KorvelSavedVolume& saved, KorvelMixerGain* gains,
                                     uint32_t count)
{
    count = std::min(count, KORVEL_SAVED_VOLUME_CHANNELS);
    for (uint32_t k = 0; k < count; ++k) {
        gains[k].gain = FromSaved(saved.gains[k]);
        gains[k].flags = static_cast<uint8_t>(saved.mutes[k] & KORVEL_MIXER_GAIN_FLAG_MUTED);
    }
}
