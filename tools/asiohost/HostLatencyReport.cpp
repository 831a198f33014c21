#include "HostLatencyReport.h"

#include <cstdio>

namespace {

double Ms(long frames, double rate)
{
    return rate > 0 ? frames * 1000.0 / rate : 0.0;
}

std::string Milliseconds(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    return text;
}

std::string Line(const char* format, long frames, double rate, const std::string& rest)
{
    char text[256];
    std::snprintf(text, sizeof text, "  %-17s %ld frames = %.3f ms%s\n", format, frames,
                  Ms(frames, rate), rest.c_str());
    return text;
}

} // namespace

size_t HostLatencyResult::Found() const
{
    size_t found = 0;
    for (const HostLatencyMeter::Finding& f : findings) {
        found += f.found ? 1 : 0;
    }
    return found;
}

std::string HostLatencyReport::Text(const HostLatencyResult& r)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "asiohost: round-trip latency, %.0f Hz, %ld frames a buffer, output %ld to "
                  "input %ld\n",
                  r.segment.rate, r.segment.frames, r.output, r.input);
    std::string out = text;
    for (size_t i = 0; i < r.findings.size(); ++i) {
        const HostLatencyMeter::Finding& f = r.findings[i];
        if (f.found) {
            std::snprintf(text, sizeof text, "  measurement %-5zu %ld frames (match %.2f)\n",
                          i + 1, f.lag, f.score);
        } else {
            std::snprintf(text, sizeof text, "  measurement %-5zu not found (best match %.2f)\n",
                          i + 1, f.score);
        }
        out += text;
    }
    long measured = 0;
    if (r.Measured(measured)) {
        std::snprintf(text, sizeof text, " (%zu of %zu found)", r.Found(), r.findings.size());
        out += Line("measured", measured, r.segment.rate, text);
    } else {
        out += "  measured          no impulse found\n";
    }
    std::snprintf(text, sizeof text, " (input %ld + output %ld)", r.segment.inputLatency,
                  r.segment.outputLatency);
    out += Line("reported", r.Reported(), r.segment.rate, text);
    if (r.Measured(measured)) {
        out += Line("difference", measured - r.Reported(), r.segment.rate, "");
    }
    std::snprintf(text, sizeof text, "  missed switches   %llu\n",
                  static_cast<unsigned long long>(r.missedSwitches));
    return out + text;
}

std::string HostLatencyReport::Json(const HostLatencyResult& r)
{
    std::string lags;
    for (const HostLatencyMeter::Finding& f : r.findings) {
        lags += (lags.empty() ? "" : ",") + (f.found ? std::to_string(f.lag) : "null");
    }
    long measured = 0;
    const bool found = r.Measured(measured);
    char text[512];
    std::snprintf(text, sizeof text,
                  "{\"rate\":%.0f,\"frames\":%ld,\"input\":%ld,\"output\":%ld,\"found\":%zu,"
                  "\"lags\":[%s],\"measured\":%s,\"measuredMs\":%s,\"inputLatency\":%ld,"
                  "\"outputLatency\":%ld,\"reported\":%ld,\"reportedMs\":%.3f,\"difference\":%s,"
                  "\"missedSwitches\":%llu}\n",
                  r.segment.rate, r.segment.frames, r.input, r.output, r.Found(), lags.c_str(),
                  found ? std::to_string(measured).c_str() : "null",
                  found ? Milliseconds(Ms(measured, r.segment.rate)).c_str() : "null",
                  r.segment.inputLatency, r.segment.outputLatency, r.Reported(),
                  Ms(r.Reported(), r.segment.rate),
                  found ? std::to_string(measured - r.Reported()).c_str() : "null",
                  static_cast<unsigned long long>(r.missedSwitches));
    return text;
}
