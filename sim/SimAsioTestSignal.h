#pragma once
// The simulator's input test signal: input channel i of a device (counted
// from 0 among that device's inputs) carries a sine of (i + 1) × 1000 Hz at
// half full scale, phase continuous from the stream's start. DSD inputs
// carry the DSD silence pattern 0x69.
#include <cstdint>

class SimAsioTestSignal
{
public:
    static constexpr int32_t AMPLITUDE = 0x40000000;
    static constexpr uint8_t DSD_SILENCE = 0x69;
    // The peak of the sine in hundredths of a dB below full scale.
    static constexpr int16_t LEVEL = -602;

    static uint32_t Frequency(uint32_t inputIndex) { return (inputIndex + 1) * 1000; }

    // Writes `frames` samples of the channel's sine from sample `position`
    // (counted from the start) at `rate`. The phase is taken exactly at the
    // first sample and advanced by rotation, which is cheap enough for the
    // pacing thread and drifts by far less than one step of 32 bits within a
    // buffer half.
    static void Fill(int32_t* out, uint32_t frames, uint64_t position, uint32_t rate,
                     uint32_t inputIndex);
};
