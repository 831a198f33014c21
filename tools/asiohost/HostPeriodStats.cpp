#include "HostPeriodStats.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

double At(const std::vector<double>& sorted, double fraction)
{
    size_t index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

} // namespace

HostPeriodStats HostPeriodStats::Measure(const int64_t* ticks, size_t count, double ticksPerSecond,
                                         double nominalUs)
{
    HostPeriodStats stats;
    stats.nominalUs = nominalUs;
    if (count < 2 || ticksPerSecond <= 0) {
        return stats;
    }
    std::vector<double> periods;
    periods.reserve(count - 1);
    for (size_t i = 1; i < count; ++i) {
        double us = static_cast<double>(ticks[i] - ticks[i - 1]) * 1e6 / ticksPerSecond;
        periods.push_back(us);
        if (nominalUs > 0 && us >= 1.5 * nominalUs) {
            stats.gapMissed += static_cast<uint64_t>(std::floor(us / nominalUs + 0.5)) - 1;
        }
    }
    stats.periods = periods.size();
    stats.meanUs = static_cast<double>(ticks[count - 1] - ticks[0]) * 1e6 / ticksPerSecond /
                   static_cast<double>(stats.periods);
    std::sort(periods.begin(), periods.end());
    stats.p50Us = At(periods, 0.5);
    stats.p99Us = At(periods, 0.99);
    stats.maxUs = periods.back();
    return stats;
}
