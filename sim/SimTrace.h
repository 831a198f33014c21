#pragma once
// Protocol trace: one line per answered request, in the order answered,
//   seq=<n> t_ms=<ms> conn=<id> pid=<pid> type=<client type or -> dev=<w0>:<w1 or ->
//   code=0x<8 hex> in=<n> out=<n> status=0x<8 hex> ret=<n>
// (one line; t_ms counts from the moment the trace was opened). Each line is
// flushed at once so that another process can read the file while the
// simulator runs. Calls are serialized by the simulator lock.
#include "SimRequest.h"

#include <cstdint>
#include <cstdio>
#include <string>

struct SimTraceEntry
{
    uint32_t connection = 0;
    uint32_t processId = 0;
    uint32_t clientType = SIM_NO_CLIENT_TYPE; // prints as "-"
    bool bound = false;
    uint32_t keyWord0 = 0;
    uint32_t keyWord1 = 0;
    uint32_t code = 0;
    uint32_t inLength = 0;
    uint32_t outCapacity = 0;
    uint32_t status = 0;
    uint32_t bytesReturned = 0;
};

class SimTrace
{
public:
    SimTrace() = default;
    ~SimTrace() { Close(); }

    SimTrace(const SimTrace&) = delete;
    SimTrace& operator=(const SimTrace&) = delete;

    // Creates (truncates) the file; 0 or ERROR_OPEN_FAILED.
    uint32_t Open(const std::wstring& path);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

    // Writes the next line (numbering from 1) when open.
    void Write(const SimTraceEntry& entry);

    static std::string FormatLine(uint64_t seq, uint64_t milliseconds, const SimTraceEntry& entry);

private:
    std::FILE* m_file = nullptr;
    uint64_t m_seq = 0;
    uint64_t m_startMs = 0;
};
