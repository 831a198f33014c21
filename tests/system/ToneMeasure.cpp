#include "ToneMeasure.h"

#include <cmath>
#include <cstdlib>

ToneMeasure ToneMeasure::Of(const WavReader& wav, uint16_t channel)
{
    ToneMeasure measure;
    const size_t frames = wav.Frames();
    if (channel >= wav.Channels() || frames < 10 || wav.Rate() == 0) {
        return measure;
    }
    const size_t first = frames / 5;
    const size_t last = frames - frames / 5;
    size_t firstCrossing = 0, lastCrossing = 0, crossings = 0;
    for (size_t f = first; f < last; ++f) {
        const int64_t sample = wav.Sample(f, channel);
        measure.peak = std::fmax(measure.peak, std::fabs(static_cast<double>(sample)));
        if (f > first && wav.Sample(f - 1, channel) < 0 && sample >= 0) {
            if (crossings == 0) {
                firstCrossing = f;
            }
            lastCrossing = f;
            ++crossings;
        }
    }
    measure.frames = last - first;
    if (crossings >= 2) {
        measure.hz = static_cast<double>(crossings - 1) * wav.Rate() /
                     static_cast<double>(lastCrossing - firstCrossing);
    }
    return measure;
}
