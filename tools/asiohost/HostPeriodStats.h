#pragma once
// Statistics of the periods between successive buffer switches, from their
// performance-counter times, against the nominal period (frames / rate).
#include <cstddef>
#include <cstdint>

struct HostPeriodStats
{
    size_t periods = 0;   // intervals measured
    double nominalUs = 0; // frames / rate
    double meanUs = 0;
    double p50Us = 0;
    double p99Us = 0;
    double maxUs = 0;
    // Switches that never came, judged from the gaps: an interval of about
    // k nominal periods (k >= 2) stands for k - 1 missed switches.
    uint64_t gapMissed = 0;

    // From `count` counter values at `ticksPerSecond`; fewer than two give no period.
    static HostPeriodStats Measure(const int64_t* ticks, size_t count, double ticksPerSecond,
                                   double nominalUs);
    // Mean relative to nominal, in percent off (+ longer, - shorter).
    double MeanErrorPercent() const
    {
        return nominalUs > 0 ? (meanUs - nominalUs) / nominalUs * 100.0 : 0.0;
    }
};
