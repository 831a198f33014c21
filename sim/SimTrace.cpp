#include "SimTrace.h"

#include <windows.h>

uint32_t SimTrace::Open(const std::wstring& path)
{
    Close();
    m_file = _wfopen(path.c_str(), L"wb");
    if (m_file == nullptr) {
        return ERROR_OPEN_FAILED;
    }
    m_seq = 0;
    m_startMs = GetTickCount64();
    return 0;
}

void SimTrace::Close()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

void SimTrace::Write(const SimTraceEntry& entry)
{
    if (m_file == nullptr) {
        return;
    }
    std::string line = FormatLine(++m_seq, GetTickCount64() - m_startMs, entry);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}

std::string SimTrace::FormatLine(uint64_t seq, uint64_t milliseconds, const SimTraceEntry& entry)
{
    char type[16] = "-";
    if (entry.clientType != SIM_NO_CLIENT_TYPE) {
        std::snprintf(type, sizeof type, "%u", static_cast<unsigned>(entry.clientType));
    }
    char dev[32] = "-";
    if (entry.bound) {
        std::snprintf(dev, sizeof dev, "%u:%u", static_cast<unsigned>(entry.keyWord0),
                      static_cast<unsigned>(entry.keyWord1));
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "seq=%llu t_ms=%llu conn=%u pid=%u type=%s dev=%s code=0x%08X in=%u out=%u "
                  "status=0x%08X ret=%u",
                  static_cast<unsigned long long>(seq),
                  static_cast<unsigned long long>(milliseconds),
                  static_cast<unsigned>(entry.connection), static_cast<unsigned>(entry.processId),
                  type, dev, static_cast<unsigned>(entry.code),
                  static_cast<unsigned>(entry.inLength), static_cast<unsigned>(entry.outCapacity),
                  static_cast<unsigned>(entry.status), static_cast<unsigned>(entry.bytesReturned));
    return line;
}
