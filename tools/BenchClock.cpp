#include "BenchClock.h"

#include <windows.h>

#include <algorithm>

double NowUs()
{
    static const double ticksPerUs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerUs;
}

double Percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    size_t index = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[index];
}

double ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
        return 0;
    }
    auto ms = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}
