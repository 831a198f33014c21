#pragma once
// Live levels of a device's mixer input pins, measured by the ASIO pacing
// threads (the host's playback channels, and the hardware inputs carrying
// the test signal) and taken over by the device's mixer when its levels are
// read. The pacing threads only store numbers: no lock, no allocation.
// Shared (std::shared_ptr) between the device and the streams that feed it,
// so that a device unplugged while a stream runs leaves nothing dangling.
#include "KorvelMixerRecords.h"

#include <array>
#include <atomic>
#include <cstdint>

class SimMixer;

class SimLevelMeter
{
public:
    SimLevelMeter();

    // Pacing side: the level of `pin` in hundredths of a dB.
    void Publish(KorvelMixerPin pin, int16_t level);
    // The level of the peak sample magnitude of 32-bit audio, floored.
    static int16_t LevelOfPeak(uint32_t peak);

    // Device side (under the simulator lock): every level published since
    // the last call becomes the mixer's input level of its pin.
    void ApplyTo(SimMixer& mixer);

private:
    static constexpr int32_t NONE = INT32_MIN;
    static constexpr size_t TYPES = 4; // input pin types 0..3
    std::array<std::atomic<int32_t>, TYPES * 256> m_levels;
};
