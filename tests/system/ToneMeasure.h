#pragma once
// The frequency (from rising zero crossings) and the peak amplitude of one
// channel of a WAV file, measured over its middle part so that the start
// and end of a stream (silence, a half cut short) do not count.
#include "WavReader.h"

#include <cstdint>

struct ToneMeasure
{
    double hz = 0;
    double peak = 0; // largest |sample|
    size_t frames = 0;

    static ToneMeasure Of(const WavReader& wav, uint16_t channel);
};
