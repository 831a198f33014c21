#include "HostReport.h"

#include <cstdarg>
#include <cstdio>

namespace {

std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

std::string Format(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return text;
}

} // namespace

std::string HostReport::Text(const HostStreamResult& r)
{
    std::string text = "asiohost: stream summary\n";
    text += Format("  driver            %s (version %ld)\n",
                   r.driverName.empty() ? "-" : r.driverName.c_str(), r.driverVersion);
    text += Format("  ran               %.2f s, %zu opening(s), %u reset request(s), %u followed\n",
                   r.elapsedSeconds, r.segments.size(), r.resetRequests, r.resetsFollowed);
    text += Format("  switches          %llu (bufferSwitchTimeInfo %llu, bufferSwitch %llu)\n",
                   static_cast<unsigned long long>(r.switches),
                   static_cast<unsigned long long>(r.timeInfoSwitches),
                   static_cast<unsigned long long>(r.plainSwitches));
    text += Format("  missed switches   %llu (%s; from gaps %llu)\n",
                   static_cast<unsigned long long>(r.missedSwitches),
                   r.counterUsed ? "device's ASIO Error Count" : "judged from gaps",
                   static_cast<unsigned long long>(r.gapMissed));
    for (size_t i = 0; i < r.segments.size(); ++i) {
        const HostSegment& s = r.segments[i];
        const HostPeriodStats& p = s.periods;
        text += Format("  opening %zu         %.0f Hz, %ld frames, %ld in / %ld out%s, latency "
                       "in %ld / out %ld frames\n",
                       i + 1, s.rate, s.frames, s.inputs, s.outputs,
                       s.refused > 0 ? Format(" (%ld refused)", s.refused).c_str() : "",
                       s.inputLatency, s.outputLatency);
        if (p.periods == 0) {
            // Reset again before the driver's pacing began (the priming
            // switches alone): there is no period to judge.
            text += Format("    period (us)     nominal %.1f  no period measured, %zu switches\n",
                           p.nominalUs, s.switches);
            continue;
        }
        text += Format("    period (us)     nominal %.1f  mean %.1f (%+.3f %%)  p50 %.1f  p99 "
                       "%.1f  max %.1f  over %zu periods, %zu switches\n",
                       p.nominalUs, p.meanUs, p.MeanErrorPercent(), p.p50Us, p.p99Us, p.maxUs,
                       p.periods, s.switches);
    }
    if (!r.recordPath.empty()) {
        text += Format("  recorded          %llu frames to %s (%llu dropped)%s%s\n",
                       static_cast<unsigned long long>(r.recordedFrames), r.recordPath.c_str(),
                       static_cast<unsigned long long>(r.droppedFrames),
                       r.recordNote.empty() ? "" : ": ", r.recordNote.c_str());
    }
    text += r.exitCode == 0 ? "  result            OK\n"
                            : Format("  result            FAILED: %s\n", r.error.c_str());
    return text;
}

std::string HostReport::JsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += Format("\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string HostReport::Json(const HostStreamResult& r)
{
    std::string json = "{";
    json += "\"ok\":" + std::string(r.exitCode == 0 ? "true" : "false");
    json += Format(",\"exitCode\":%d", r.exitCode);
    json += ",\"error\":" + JsonString(r.error);
    json += ",\"driver\":" + JsonString(r.driverName);
    json += Format(",\"driverVersion\":%ld,\"seconds\":%.3f", r.driverVersion, r.elapsedSeconds);
    json += Format(",\"switches\":%llu,\"timeInfoSwitches\":%llu,\"plainSwitches\":%llu",
                   static_cast<unsigned long long>(r.switches),
                   static_cast<unsigned long long>(r.timeInfoSwitches),
                   static_cast<unsigned long long>(r.plainSwitches));
    json +=
        Format(",\"missedSwitches\":%llu,\"missedFrom\":\"%s\",\"gapMissed\":%llu",
               static_cast<unsigned long long>(r.missedSwitches),
               r.counterUsed ? "counter" : "gaps", static_cast<unsigned long long>(r.gapMissed));
    json +=
        Format(",\"resetRequests\":%u,\"resetsFollowed\":%u", r.resetRequests, r.resetsFollowed);
    json += ",\"openings\":[";
    for (size_t i = 0; i < r.segments.size(); ++i) {
        const HostSegment& s = r.segments[i];
        const HostPeriodStats& p = s.periods;
        json += Format("%s{\"rate\":%.0f,\"frames\":%ld,\"inputs\":%ld,\"outputs\":%ld,"
                       "\"refused\":%ld,\"inputLatency\":%ld,\"outputLatency\":%ld,"
                       "\"switches\":%zu,\"periods\":%zu,\"nominalUs\":%.3f,\"meanUs\":%.3f,"
                       "\"p50Us\":%.3f,\"p99Us\":%.3f,\"maxUs\":%.3f}",
                       i == 0 ? "" : ",", s.rate, s.frames, s.inputs, s.outputs, s.refused,
                       s.inputLatency, s.outputLatency, s.switches, p.periods, p.nominalUs,
                       p.meanUs, p.p50Us, p.p99Us, p.maxUs);
    }
    json += "]";
    json += ",\"record\":" + JsonString(r.recordPath);
    json += Format(",\"recordedFrames\":%llu,\"droppedFrames\":%llu",
                   static_cast<unsigned long long>(r.recordedFrames),
                   static_cast<unsigned long long>(r.droppedFrames));
    json += ",\"recordNote\":" + JsonString(r.recordNote);
    return json + "}\n";
}
