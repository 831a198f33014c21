#include "SimAsioSignalLog.h"

#include <cstdio>

std::vector<uint64_t> SimAsioSignalLog::Snapshot() const
{
    const uint64_t end = Count();
    const uint64_t begin = end > CAPACITY ? end - CAPACITY : 0;
    std::vector<uint64_t> values;
    values.reserve(static_cast<size_t>(end - begin));
    for (uint64_t i = begin; i < end; ++i) {
        values.push_back(m_ring[i % CAPACITY]);
    }
    // Entries the writer reached again while they were copied are stale.
    const uint64_t after = Count();
    const uint64_t overwritten = after > CAPACITY ? after - CAPACITY : 0;
    if (overwritten > begin) {
        size_t stale = static_cast<size_t>(std::min<uint64_t>(overwritten - begin, values.size()));
        values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(stale));
    }
    return values;
}

bool SimAsioSignalLog::WriteTo(const std::string& path) const
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        return false;
    }
    bool ok = true;
    for (uint64_t value : Snapshot()) {
        ok = std::fprintf(file, "%llu\n", static_cast<unsigned long long>(value)) > 0 && ok;
    }
    return std::fclose(file) == 0 && ok;
}
