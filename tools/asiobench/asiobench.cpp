// asiobench.exe: ASIO streaming figures through the simulator and the
// service, each beside the mechanism it rests on, measured in the same run:
//   (a) buffer-switch latency (simulator signal -> host callback) beside a
//       bare cross-process event wake-up;
//   (b) per channel count, rate and buffer size: missed switches (the
//       device's counter and the host's gaps) beside a bare pacer's misses
//       at the same size, the mean period against the nominal one, and what
//       the simulator spends per period and per channel.
// A program that prints its figures; not a test. --quick runs shorter.
#include "BenchClock.h"
#include "BenchPacer.h"
#include "BenchRig.h"
#include "BenchSwitchLatency.h"
#include "BenchWakeup.h"
#include "HostAsioText.h"
#include "HostSession.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Settings
{
    double latencySeconds = 10;
    double stableSeconds = 5;
    size_t wakeups = 2000;
};

HostStreamResult Stream(HostSession& session)
{
    return session.Run();
}

HostStreamOptions Options(uint32_t rate, long frames, double seconds, uint32_t load)
{
    HostStreamOptions options;
    options.source.dllPath = BenchRig::DllPath();
    options.rate = rate;
    options.frames = frames;
    options.seconds = seconds;
    options.loadPercent = load;
    options.channels = {{true, 0}, {true, 1}, {false, 0}, {false, 1}};
    return options;
}

void PrintLatency(BenchRig& rig, const Settings& settings)
{
    std::printf("(a) buffer-switch latency, 48000 Hz / 256 frames, %.0f s\n",
                settings.latencySeconds);
    HostSession session(Options(48000, 256, settings.latencySeconds, 0));
    HostStreamResult result = Stream(session);
    if (result.exitCode != 0 || result.segments.empty()) {
        std::printf("    stream failed: %s\n", result.error.c_str());
        return;
    }
    const std::wstring log = rig.File(L"signals.txt");
    std::string path(log.begin(), log.end());
    const std::string answer = rig.Control("asio-signal-log \"" + path + "\"");
    std::vector<int64_t> signals;
    if (answer.rfind("OK", 0) != 0 || !BenchSwitchLatency::ReadSignalLog(log, signals)) {
        std::printf("    the simulator's signal log could not be read: %s\n", answer.c_str());
        return;
    }
    const HostSegment& segment = result.segments.back();
    const size_t first = segment.firstSwitch + 2; // the priming switches have no signal
    std::vector<double> switchUs =
        BenchSwitchLatency::Match(signals, session.SwitchTicks().data() + first,
                                  segment.switches > 2 ? segment.switches - 2 : 0,
                                  session.TicksPerSecond(), segment.periods.nominalUs);
    std::vector<double> wakeUs;
    std::string error;
    if (!BenchWakeup::Measure(settings.wakeups, 1, wakeUs, error)) {
        std::printf("    bare wake-up failed: %s\n", error.c_str());
        return;
    }
    const double switch50 = Percentile(switchUs, 0.5), wake50 = Percentile(wakeUs, 0.5);
    std::printf("    %-34s %8s %8s %8s %8s\n", "", "samples", "p50 us", "p99 us", "max us");
    std::printf("    %-34s %8zu %8.1f %8.1f %8.1f\n", "signal -> bufferSwitch entry",
                switchUs.size(), switch50, Percentile(switchUs, 0.99), Percentile(switchUs, 1.0));
    std::printf("    %-34s %8zu %8.1f %8.1f %8.1f\n", "bare SetEvent -> wait returns",
                wakeUs.size(), wake50, Percentile(wakeUs, 0.99), Percentile(wakeUs, 1.0));
    std::printf("    ratio at p50: %.2f (signals logged %zu, switches %zu)\n\n",
                wake50 > 0 ? switch50 / wake50 : 0.0, signals.size(), segment.switches);
}

// One word "name=value" of a line of words; "" when missing.
std::string Word(const std::string& text, const std::string& name)
{
    const std::string key = " " + name + "=";
    const std::string spaced = " " + text;
    const size_t at = spaced.find(key);
    if (at == std::string::npos) {
        return std::string();
    }
    const size_t from = at + key.size();
    return spaced.substr(from, spaced.find_first_of(" \n", from) - from);
}

// The simulator's line of the stream released last.
std::string EndedStream(const BenchRig& rig)
{
    const std::string dump = rig.Control("dump");
    const size_t at = dump.find("asio.ended=");
    return at == std::string::npos ? std::string()
                                   : dump.substr(at, dump.find('\n', at) - at);
}

struct ChannelSet
{
    const char* name;
    long count; // inputs and outputs each; 0: every channel of the driver
};

HostStreamOptions SetOptions(const ChannelSet& set, uint32_t rate, long frames, double seconds,
                             uint32_t load)
{
    HostStreamOptions options = Options(rate, frames, seconds, load);
    options.channels.clear();
    for (long c = 0; c < set.count; ++c) {
        options.channels.push_back({true, c});
    }
    for (long c = 0; c < set.count; ++c) {
        options.channels.push_back({false, c});
    }
    return options;
}

void PrintRow(BenchRig& rig, const ChannelSet& set, uint32_t rate, long frames, double seconds,
              uint32_t load)
{
    HostSession session(SetOptions(set, rate, frames, seconds, load));
    HostStreamResult r = Stream(session);
    if (r.exitCode != 0 || r.segments.empty()) {
        std::printf("    %-5s %6u %6ld %4u%% failed: %s\n", set.name, rate, frames, load,
                    r.error.c_str());
        return;
    }
    const HostSegment& segment = r.segments.back();
    const HostPeriodStats& p = segment.periods;
    const std::string ended = EndedStream(rig);
    const double signalUs = std::atof(Word(ended, "signalUs").c_str());
    const double workUs = std::atof(Word(ended, "workUs").c_str());
    const long channels = segment.inputs + segment.outputs;
    BenchPacer::Result bare;
    std::string error;
    const bool pacerOk = BenchPacer::Measure(rate, static_cast<uint32_t>(frames), seconds, bare, error);
    std::printf("    %-5s %6u %6ld %4u%% %8llu %7llu %6llu %+8.3f %7s %8.1f %8.1f %7.1f\n",
                set.name, rate, frames, load, static_cast<unsigned long long>(r.switches),
                static_cast<unsigned long long>(r.missedSwitches),
                static_cast<unsigned long long>(r.gapMissed), p.MeanErrorPercent(),
                pacerOk ? std::to_string(bare.missed).c_str() : "failed", signalUs, workUs,
                channels > 0 ? (signalUs + workUs) / channels : 0.0);
    std::fflush(stdout);
}

void PrintChannels(BenchRig& rig, const Settings& settings)
{
    std::printf("(b) missed switches and mean period error over %.0f s per row, beside the bare "
                "pacer's\n    misses at the same size in the same run, and the simulator's time "
                "per period\n",
                settings.stableSeconds);
    std::printf("    %-5s %6s %6s %5s %8s %7s %6s %8s %7s %8s %8s %7s\n", "chans", "rate",
                "frames", "load", "switches", "missed", "gaps", "error %", "bare", "sig us",
                "work us", "us/ch");
    const ChannelSet sets[] = {{"2+2", 2}, {"8+8", 8}, {"all", 0}};
    const struct
    {
        uint32_t rate;
        long frames;
    } sizes[] = {{48000, 32}, {48000, 64}, {48000, 128}, {48000, 256},
                 {96000, 64}, {96000, 128}, {96000, 256}};
    for (const ChannelSet& set : sets) {
        for (const auto& size : sizes) {
            PrintRow(rig, set, size.rate, size.frames, settings.stableSeconds, 0);
        }
    }
    std::printf("    with a host that spends half of each period in its callback:\n");
    for (long frames : {128L, 256L}) {
        PrintRow(rig, sets[0], 48000, frames, settings.stableSeconds, 50);
    }
    std::printf("    missed: the device's ASIO Error Count; gaps: judged by the host from its "
                "switch times;\n    bare: the bare pacer's misses; sig us / work us: the "
                "simulator's mean time per period\n    before its signal and after it; us/ch: "
                "both per channel streamed\n");
}

} // namespace

int main()
{
    const std::vector<std::wstring> args = HostAsioText::CommandLineArgs();
    int childExit = 0;
    if (BenchWakeup::RunChildIfAsked(args, childExit) ||
        BenchPacer::RunChildIfAsked(args, childExit)) {
        return childExit;
    }
    Settings settings;
    if (args.size() == 2 && args[1] == L"--quick") {
        settings = {3, 2, 500};
    } else if (args.size() != 1) {
        std::fprintf(stderr, "usage: asiobench [--quick]\n");
        return 2;
    }
    BenchRig rig;
    std::string error;
    if (!rig.Start(error)) {
        std::fprintf(stderr, "asiobench: %s\n", error.c_str());
        return 1;
    }
    std::printf("asiobench: brindleasio.dll through the simulator and the service%s\n\n",
                settings.latencySeconds < 10 ? " (quick)" : "");
    std::fflush(stdout);
    PrintLatency(rig, settings);
    std::fflush(stdout);
    PrintChannels(rig, settings);
    return 0;
}
