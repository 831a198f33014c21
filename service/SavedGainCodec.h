#pragma once
// Conversions between the mixer's output gains (s16 hundredths of a dB) and
// the kernel driver's saved-volume store (s32 16.16 fixed-point dB), and the
// gain entries that belong to one render pair of the WDM pair table.
#include "KorvelRecords.h"
#include "KorvelServiceRecords.h"
#include "KorvelWdmRecords.h"

#include <cstdint>

class SavedGainCodec
{
public:
    // Gain entries of one pair entry: two per channel pair (left, right), so
    // at most this many.
    static constexpr uint32_t MAX_GAIN_ENTRIES = 2 * KORVEL_WDM_PAIR_NUMBERS;
    static_assert(MAX_GAIN_ENTRIES == KORVEL_SAVED_VOLUME_CHANNELS);

    // hundredths x 65536 / 100, truncated toward zero.
    static int32_t ToSaved(int16_t hundredths);
    // saved x 100 / 65536, truncated toward zero, then clamped to the
    // service's gain range. The clamp comes before narrowing to 16 bits, so
    // a large stored value gives the range's end rather than a wrapped gain.
    static int16_t FromSaved(int32_t saved);

    // Fills the pin descriptors of the entry's gain entries (flags and gains
    // zero): pin type analog for an analog entry, S/PDIF otherwise, channels
    // 2p and 2p + 1 for each pair number p. Returns the number of entries.
    static uint32_t BuildGainQuery(const KorvelWdmPairEntry& entry,
                                   KorvelMixerGain (&gains)[MAX_GAIN_ENTRIES]);

    // Saved record (kind 2, `pairIndex`) of `count` gain entries.
    static KorvelSavedVolume ToSavedVolume(uint32_t pairIndex, const KorvelMixerGain* gains,
                                           uint32_t count);
    // Gains and mute flags of `count` queried entries from a saved record.
    static void FromSavedVolume(const KorvelSavedVolume& saved, KorvelMixerGain* gains,
                                uint32_t count);
};
