#include "SimAsioTestSignal.h"

#include <cmath>

void SimAsioTestSignal::Fill(int32_t* out, uint32_t frames, uint64_t position, uint32_t rate,
                             uint32_t inputIndex)
{
    if (rate == 0) {
        return;
    }
    const double twoPi = 6.283185307179586476925;
    const uint64_t frequency = Frequency(inputIndex);
    // The phase in cycles is frequency × position / rate; only its fraction
    // counts, and it is exact in integers.
    const uint64_t cycles = frequency * (position % rate) % rate;
    const double phase = twoPi * static_cast<double>(cycles) / rate;
    const double step = twoPi * static_cast<double>(frequency) / rate;
    double c = std::cos(phase);
    double s = std::sin(phase);
    const double stepCos = std::cos(step);
    const double stepSin = std::sin(step);
    for (uint32_t i = 0; i < frames; ++i) {
        out[i] = static_cast<int32_t>(std::lround(s * AMPLITUDE));
        const double nextC = c * stepCos - s * stepSin;
        s = s * stepCos + c * stepSin;
        c = nextC;
    }
}
