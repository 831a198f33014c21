// logbench.exe: what the diagnostic log costs, side by side in one run.
//  1. The buffer-switch path around a light host callback: a build without
//     the log (the raw mechanism), the log compiled in and off, and on (the
//     ring filled while the writer thread drains it to a file).
//  2. `quilloctl status` as a whole process against the simulator beside a
//     bare console program's start (archprobe.exe).
// Options: --frames N (per half, 128), --switches N (200000), --runs N (9),
// --starts N (10). A program that prints its figures; not a test.
#include "BenchClock.h"
#include "BenchSwitchLoop.h"
#include "KorvelDeviceLink.h"
#include "KorvelLog.h"
#include "SimServer.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options
{
    uint32_t frames = 128;
    uint64_t switches = 200000;
    int runs = 9;
    int starts = 10;
};

Options ReadOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const unsigned long long value = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--frames") == 0) {
            options.frames = static_cast<uint32_t>(value);
        } else if (std::strcmp(argv[i], "--switches") == 0) {
            options.switches = value;
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            options.runs = static_cast<int>(value);
        } else if (std::strcmp(argv[i], "--starts") == 0) {
            options.starts = static_cast<int>(value);
        }
    }
    return options;
}

// One figure beside the base it is compared with: the ratio of the minima
// (the least disturbed runs) and of the medians.
void PrintRow(const char* what, const std::vector<double>& samples,
              const std::vector<double>& base, const char* unit)
{
    const double min = Percentile(samples, 0.0);
    const double median = Percentile(samples, 0.5);
    const double baseMin = Percentile(base, 0.0);
    const double baseMedian = Percentile(base, 0.5);
    std::printf("  %-36s min %9.1f  median %9.1f  max %9.1f %s  ratio min %.3f  median %.3f\n",
                what, min, median, Percentile(samples, 1.0), unit,
                baseMin > 0 ? min / baseMin : 0.0, baseMedian > 0 ? median / baseMedian : 0.0);
}

void BenchSwitchPath(const Options& options)
{
    std::vector<int32_t> memory(8 * options.frames, 1000);
    BenchBuffers buffers{{&memory[0], &memory[2 * options.frames]},
                         {&memory[4 * options.frames], &memory[6 * options.frames]},
                         options.frames};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    KorvelLogOptions logOptions;
    logOptions.directory = std::wstring(temp) + L"logbench";
    logOptions.followRegistry = false;
    KorvelLogSession session(logOptions);
    KorvelSwitchRing ring;
    KorvelLog::AddRing(ring);
    std::vector<double> without, off, on;
    uint64_t dropped = 0;
    // Interleaved, so that a machine that gets busier loads all three alike.
    for (int run = 0; run < options.runs; ++run) {
        without.push_back(SwitchLoopWithoutLog(buffers, ring, options.switches));
        KorvelLog::SetLevel(KORVEL_LOG_OFF);
        off.push_back(SwitchLoopWithLog(buffers, ring, options.switches));
        KorvelLog::SetLevel(KORVEL_LOG_INFO);
        on.push_back(SwitchLoopWithLog(buffers, ring, options.switches));
        KorvelLog::SetLevel(KORVEL_LOG_OFF);
        KorvelLog::Flush();
        dropped += ring.TakeDropped();
    }
    KorvelLog::RemoveRing(ring);
    std::printf("buffer-switch path, %u frames a half, %llu switches a run, %d runs (ns/switch):\n",
                options.frames, static_cast<unsigned long long>(options.switches), options.runs);
    PrintRow("without the log (raw mechanism)", without, without, "ns");
    PrintRow("log compiled in, off", off, without, "ns");
    PrintRow("log compiled in, on (ring + writer)", on, without, "ns");
    std::printf("  entries the full ring dropped while on: %llu (a real stream switches far "
                "slower than this loop)\n",
                static_cast<unsigned long long>(dropped));
}

double RunProcess(const std::wstring& command)
{
    std::wstring line = command;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    startup.hStdOutput = startup.hStdError = nul;
    SetHandleInformation(nul, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    PROCESS_INFORMATION info{};
    const double began = NowUs();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        CloseHandle(nul);
        return -1;
    }
    WaitForSingleObject(info.hProcess, 30000);
    const double took = NowUs() - began;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    CloseHandle(nul);
    return took / 1000.0;
}

void BenchStatus(const Options& options)
{
    const std::wstring nameSpace = L"logbench-" + std::to_wstring(GetCurrentProcessId());
    SimServerOptions simOptions;
    simOptions.nameSpace = nameSpace;
    simOptions.devices = 2;
    SimServer sim;
    if (sim.Start(simOptions) != 0) {
        std::printf("quilloctl status: the simulator did not start\n");
        return;
    }
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nameSpace.c_str());
    const std::wstring ctl = L"\"" QUILLOCTL_EXE_PATH L"\" status";
    const std::wstring bare = L"\"" ARCHPROBE_EXE_PATH L"\"";
    std::vector<double> status, start;
    for (int i = 0; i < options.starts; ++i) {
        start.push_back(RunProcess(bare));
        status.push_back(RunProcess(ctl));
    }
    sim.Stop();
    std::printf("process wall time, %d starts each (ms):\n", options.starts);
    PrintRow("bare console program (archprobe)", start, start, "ms");
    PrintRow("quilloctl status, 2 devices", status, start, "ms");
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ReadOptions(argc, argv);
    BenchSwitchPath(options);
    BenchStatus(options);
    return 0;
}
