#include "BenchSwitchLatency.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

bool BenchSwitchLatency::ReadSignalLog(const std::wstring& path, std::vector<int64_t>& signals)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    signals.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        char* stop = nullptr;
        long long value = std::strtoll(line.c_str(), &stop, 10);
        if (stop != line.c_str() && (*stop == '\0' || *stop == '\r')) {
            signals.push_back(value);
        }
        start = end + 1;
    }
    std::sort(signals.begin(), signals.end());
    return true;
}

std::vector<double> BenchSwitchLatency::Match(const std::vector<int64_t>& signals,
                                              const int64_t* entries, size_t count,
                                              double ticksPerSecond, double periodUs)
{
    std::vector<double> latencies;
    size_t s = 0;
    for (size_t i = 0; i < count; ++i) {
        while (s + 1 < signals.size() && signals[s + 1] <= entries[i]) {
            ++s;
        }
        if (signals.empty() || signals[s] > entries[i]) {
            continue;
        }
        double us = static_cast<double>(entries[i] - signals[s]) * 1e6 / ticksPerSecond;
        if (us < periodUs) {
            latencies.push_back(us);
        }
    }
    return latencies;
}
