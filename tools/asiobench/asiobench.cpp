// asiobench.exe: ASIO streaming figures through the simulator and the
// service, each beside the mechanism it rests on, measured in the same run:
//   (a) buffer-switch latency (simulator signal -> host callback) beside a
//       bare cross-process event wake-up;
//   (b) missed switches per buffer size and rate, idle and with a host that
//       spends half of each period in its callback;
//   (c) the mean period against the nominal one.
// A program that prints its figures; not a test. --quick runs shorter.
#include "BenchClock.h"
#include "BenchRig.h"
#include "BenchSwitchLatency.h"
#include "BenchWakeup.h"
#include "HostAsioText.h"
#include "HostSession.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Settings
{
    double latencySeconds = 10;
    double stableSeconds = 10;
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

void PrintStable(const Settings& settings)
{
    std::printf("(b) missed switches over %.0f s (device's ASIO Error Count), and (c) mean "
                "period against nominal\n",
                settings.stableSeconds);
    std::printf("    %6s %6s %5s %8s %8s %10s %10s %9s\n", "rate", "frames", "load", "switches",
                "missed", "nominal us", "mean us", "error %");
    for (uint32_t rate : {48000u, 96000u}) {
        for (long frames : {32L, 64L, 128L, 256L}) {
            for (uint32_t load : {0u, 50u}) {
                HostSession session(Options(rate, frames, settings.stableSeconds, load));
                HostStreamResult r = Stream(session);
                if (r.exitCode != 0 || r.segments.empty()) {
                    std::printf("    %6u %6ld %4u%% failed: %s\n", rate, frames, load,
                                r.error.c_str());
                    continue;
                }
                const HostPeriodStats& p = r.segments.back().periods;
                std::printf("    %6u %6ld %4u%% %8llu %8llu %10.1f %10.2f %+9.3f%s\n", rate, frames,
                            load, static_cast<unsigned long long>(r.switches),
                            static_cast<unsigned long long>(r.missedSwitches), p.nominalUs,
                            p.meanUs, p.MeanErrorPercent(), r.counterUsed ? "" : " (gaps)");
                std::fflush(stdout);
            }
        }
    }
}

} // namespace

int main()
{
    const std::vector<std::wstring> args = HostAsioText::CommandLineArgs();
    int childExit = 0;
    if (BenchWakeup::RunChildIfAsked(args, childExit)) {
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
    PrintStable(settings);
    return 0;
}
