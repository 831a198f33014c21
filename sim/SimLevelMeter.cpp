#include "SimLevelMeter.h"

#include "SimMixer.h"

#include <cmath>

SimLevelMeter::SimLevelMeter()
{
    for (auto& level : m_levels) {
        level.store(NONE, std::memory_order_relaxed);
    }
}

void SimLevelMeter::Publish(KorvelMixerPin pin, int16_t level)
{
    if (pin.type < TYPES) {
        m_levels[size_t{pin.type} * 256 + pin.channel].store(level, std::memory_order_relaxed);
    }
}

int16_t SimLevelMeter::LevelOfPeak(uint32_t peak)
{
    if (peak == 0) {
        return SimMixer::LEVEL_FLOOR;
    }
    double centiDb = 2000.0 * std::log10(static_cast<double>(peak) / 2147483648.0);
    return centiDb <= SimMixer::LEVEL_FLOOR ? SimMixer::LEVEL_FLOOR
                                            : static_cast<int16_t>(std::lround(centiDb));
}

void SimLevelMeter::ApplyTo(SimMixer& mixer)
{
    for (size_t i = 0; i < m_levels.size(); ++i) {
        int32_t level = m_levels[i].exchange(NONE, std::memory_order_relaxed);
        if (level != NONE) {
            (void)mixer.SetInputLevel(SimMixer::MakePin(static_cast<uint8_t>(i / 256),
                                                        static_cast<uint8_t>(i % 256)),
                                      static_cast<int16_t>(level));
        }
    }
}
