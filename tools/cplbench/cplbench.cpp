// cplbench.exe: control-panel figures, each beside the bare mechanism it
// rests on, measured in the same run against a simulator in this process
// with two devices:
//   (a) start-up: quillocpl.exe from process start to its frame shown with
//       the page tree filled, beside cplbench_window.exe from process start
//       to its window shown;
//   (b) driver-event latency: a sample-rate notification to the return of
//       the main frame's handler (frame in this process), beside a bare
//       cross-process event wake-up;
//   (c) mixer windows: both windows of a device open while asiohost.exe
//       streams, the CPU time of their thread beside the same level
//       requests made bare;
//   (d) mixer open time: the inputs mixer, then the outputs mixer with the
//       first open, for the default device and the largest layout the
//       simulator gives, beside bare windows with as many child windows;
//   (e) meter painting: the meters of two mixer windows set fifty times a
//       second, beside bare controls painting the same fill.
// A program that prints its figures; not a test. --quick runs shorter;
// --mixer-open runs (d) alone, --meters (e) alone.
#include "BenchClock.h"
#include "BenchFrameEvents.h"
#include "BenchMixerLoad.h"
#include "BenchMeterPaint.h"
#include "BenchMixerOpen.h"
#include "BenchStartup.h"
#include "BenchWakeup.h"
#include "HostAsioText.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "PanelWindow.h"
#include "SimServer.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr size_t DEVICES = 2;
constexpr const wchar_t* WINDOW_CLASS = L"QuilloBenchWindow";

struct Settings
{
    size_t starts = 10;
    size_t events = 500;
    size_t wakeups = 2000;
    double mixerSeconds = 10;
    size_t mixerOpens = 3;
};

std::wstring Quoted(const char* unixPath)
{
    return L"\"" + HostAsioText::WindowsPath(unixPath) + L"\"";
}

void PrintRow(const char* what, const std::vector<double>& samples, const char* format)
{
    std::printf(format, what, samples.size(), Percentile(samples, 0.0), Percentile(samples, 0.5),
                Percentile(samples, 1.0));
}

void PrintStartup(const Settings& settings)
{
    std::printf("(a) start-up, %zu runs each, alternating\n", settings.starts);
    std::vector<double> panelMs, windowMs;
    std::string error;
    const auto panelReady = [](HWND frame) {
        return BenchStartup::PanelTreeFilled(frame, DEVICES);
    };
    const auto shown = [](HWND) { return true; };
    for (size_t i = 0; i < settings.starts; ++i) {
        double ms = 0;
        if (!BenchStartup::Measure(Quoted(QUILLOCPL_EXE_PATH), PanelWindow::CLASS_NAME, panelReady,
                                   ms, error)) {
            std::printf("    quillocpl.exe failed: %s\n", error.c_str());
            return;
        }
        panelMs.push_back(ms);
        if (!BenchStartup::Measure(Quoted(CPLBENCH_WINDOW_EXE_PATH), WINDOW_CLASS, shown, ms,
                                   error)) {
            std::printf("    cplbench_window.exe failed: %s\n", error.c_str());
            return;
        }
        windowMs.push_back(ms);
    }
    const char* row = "    %-40s %5zu %8.1f %8.1f %8.1f\n";
    std::printf("    %-40s %5s %8s %8s %8s\n", "", "runs", "min ms", "med ms", "max ms");
    PrintRow("quillocpl.exe: start -> tree filled", panelMs, row);
    PrintRow("bare window program: start -> shown", windowMs, row);
    const double window50 = Percentile(windowMs, 0.5);
    std::printf("    ratio at the median: %.2f\n\n",
                window50 > 0 ? Percentile(panelMs, 0.5) / window50 : 0.0);
}

void PrintLatencyRow(const char* what, const std::vector<double>& us)
{
    std::printf("    %-40s %8zu %8.1f %8.1f %8.1f\n", what, us.size(), Percentile(us, 0.5),
                Percentile(us, 0.99), Percentile(us, 1.0));
}

void PrintEvents(SimServer& sim, const Settings& settings)
{
    std::printf("(b) driver-event latency, %zu notifications\n", settings.events);
    BenchFrameEvents::Samples frame;
    std::vector<double> wakeUs;
    std::string error;
    const auto control = [&sim](const std::string& line) { return sim.Control(line); };
    if (!BenchFrameEvents::Measure(control, settings.events, 2, frame, error)) {
        std::printf("    frame failed: %s\n", error.c_str());
        return;
    }
    if (!BenchWakeup::Measure(settings.wakeups, 1, wakeUs, error)) {
        std::printf("    bare wake-up failed: %s\n", error.c_str());
        return;
    }
    std::printf("    %-40s %8s %8s %8s %8s\n", "", "samples", "p50 us", "p99 us", "max us");
    const std::vector<double>& frameUs = frame.handledUs;
    PrintLatencyRow("notify 3011 -> frame's handler done", frameUs);
    PrintLatencyRow("  of which: -> message taken", frame.receivedUs);
    PrintLatencyRow("bare SetEvent -> wait returns", wakeUs);
    const double wake50 = Percentile(wakeUs, 0.5), wake99 = Percentile(wakeUs, 0.99);
    std::printf("    ratio at p50: %.2f, at p99: %.2f\n",
                wake50 > 0 ? Percentile(frameUs, 0.5) / wake50 : 0.0,
                wake99 > 0 ? Percentile(frameUs, 0.99) / wake99 : 0.0);
}

void PrintMixerLoad(SimServer& sim, const Settings& settings)
{
    std::printf("(c) both mixer windows of a device open, a tone streaming, %.0f s each\n",
                settings.mixerSeconds);
    const std::wstring host =
        Quoted(ASIOHOST_EXE_PATH) + L" stream --dll " + Quoted(BRINDLEASIO_DLL_PATH) +
        L" --seconds 120 --rate 48000 --frames 256 --channels o0,o1 --tone 1000";
    BenchMixerLoad::Figures figures;
    std::string error;
    const auto control = [&sim](const std::string& line) { return sim.Control(line); };
    const std::wstring service = Quoted(QUILLOSVC_EXE_PATH) + L" -console";
    if (!BenchMixerLoad::Measure(control, service, host, settings.mixerSeconds, figures, error)) {
        std::printf("    failed: %s\n", error.c_str());
        return;
    }
    const double requests = 2 * figures.bareTicks;
    std::printf("    windows of %u columns x %u rows\n", figures.columns, figures.rows);
    std::printf("    %-46s %8s %8s %10s\n", "", "ticks", "cpu ms", "% of core");
    std::printf("    %-46s %8.0f %8.1f %10.2f\n", "two mixer windows (4 requests a tick, meters)",
                figures.panelTicks / 2, figures.panelCpuMs,
                figures.panelCpuMs / (figures.seconds * 10.0));
    std::printf("    %-46s %8.0f %8.1f %10.2f\n", "bare: the same 4 requests a tick, no window",
                figures.bareTicks, figures.bareCpuMs, figures.bareCpuMs / (figures.seconds * 10.0));
    std::printf("    bare requests: %.0f a second per window\n",
                figures.seconds > 0 ? requests / figures.seconds : 0.0);
    std::printf("    ratio: %.2f\n",
                figures.bareCpuMs > 0 ? figures.panelCpuMs / figures.bareCpuMs : 0.0);
}

void PrintMixerOpenRows(const char* layout, const BenchMixerOpen::Figures& f)
{
    std::printf("    %s: outputs mixer %u columns x %u rows, windows %ldx%ld and %ldx%ld\n", layout,
                f.columns, f.rows, f.firstSize.cx, f.firstSize.cy, f.secondSize.cx,
                f.secondSize.cy);
    const char* row = "    %-46s %7zu %8.0f %8.0f %8.0f\n";
    std::printf("    %-46s %7s %8s %8s %8s\n", "", "windows", "min ms", "med ms", "max ms");
    auto print = [row](const char* what, size_t windows, const std::vector<double>& ms) {
        std::printf(row, what, windows, Percentile(ms, 0.0), Percentile(ms, 0.5),
                    Percentile(ms, 1.0));
    };
    print("inputs mixer, first", f.firstWindows, f.firstMs);
    print("outputs mixer, the inputs mixer open", f.secondWindows, f.secondMs);
    print("bare window, first", f.firstWindows, f.bareFirstMs);
    print("bare window, the first bare one open", f.secondWindows, f.bareSecondMs);
    const double bare = Percentile(f.bareSecondMs, 0.5);
    std::printf("    ratio second mixer / second bare at the median: %.2f\n",
                bare > 0 ? Percentile(f.secondMs, 0.5) / bare : 0.0);
}

void PrintMixerOpen(SimServer& sim, const Settings& settings)
{
    std::printf("(d) mixer open time, %zu runs each\n", settings.mixerOpens);
    KorvelCplClient client;
    bool changed = false;
    if (client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME) != 0 || client.RefreshDevices(changed) != 0 ||
        client.DeviceCount() == 0) {
        std::printf("    failed: no device through the panel's connection\n");
        return;
    }
    BenchMixerOpen::Figures figures;
    std::string error;
    if (!BenchMixerOpen::Measure(client, 0, settings.mixerOpens, figures, error)) {
        std::printf("    failed: %s\n", error.c_str());
        return;
    }
    PrintMixerOpenRows("default device", figures);
    // The largest pin layout: every analog pair and every virtual input.
    (void)sim.Control("plug serial=LARGEST analog-in=16 analog-out=16 virtual=8");
    if (client.RefreshDevices(changed) != 0 || client.DeviceCount() != DEVICES + 1) {
        std::printf("    failed: the largest device did not arrive\n");
        return;
    }
    figures = {};
    if (!BenchMixerOpen::Measure(client, DEVICES, settings.mixerOpens, figures, error)) {
        std::printf("    failed: %s\n", error.c_str());
    } else {
        PrintMixerOpenRows("largest layout", figures);
    }
    (void)sim.Control("unplug LARGEST");
}

void PrintMeterPaint(const Settings& settings)
{
    // Two default mixer windows: 11 columns and 9 rows of two meters each.
    constexpr size_t METERS = 2 * 2 * (11 + 9);
    std::printf("(e) meter painting, %zu meters set 50 times a second, %.0f s each\n", METERS,
                settings.mixerSeconds);
    BenchMeterPaint::Figures f;
    std::string error;
    if (!BenchMeterPaint::Measure(METERS, settings.mixerSeconds, f, error)) {
        std::printf("    failed: %s\n", error.c_str());
        return;
    }
    std::printf("    %-42s %6s %8s %8s %10s %8s\n", "", "ticks", "paints", "cpu ms", "% of core",
                "us/paint");
    auto row = [&f](const char* what, double ticks, double paints, double cpuMs) {
        std::printf("    %-42s %6.0f %8.0f %8.1f %10.2f %8.1f\n", what, ticks, paints, cpuMs,
                    cpuMs / (f.seconds * 10.0), paints > 0 ? cpuMs * 1000.0 / paints : 0.0);
    };
    row("level meters", f.ticks, f.paints, f.meterCpuMs);
    row("bare: the same fill painted to the screen", f.bareTicks, f.barePaints, f.bareCpuMs);
    std::printf("    ticks: of %.0f; fewer when painting cannot keep up\n", f.seconds * 50);
    std::printf("    GDI objects left by the meters: %ld\n", f.gdiGrowth);
    std::printf("    ratio: %.2f\n", f.bareCpuMs > 0 ? f.meterCpuMs / f.bareCpuMs : 0.0);
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
    bool mixerOpenOnly = false;
    bool metersOnly = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == L"--quick") {
            settings = {3, 100, 500, 3, 1};
        } else if (args[i] == L"--mixer-open") {
            mixerOpenOnly = true;
        } else if (args[i] == L"--meters") {
            metersOnly = true;
        } else {
            std::fprintf(stderr, "usage: cplbench [--quick] [--mixer-open] [--meters]\n");
            return 2;
        }
    }
    if (metersOnly) {
        PrintMeterPaint(settings);
        return 0;
    }
    if (FindWindowW(PanelWindow::CLASS_NAME, nullptr) != nullptr) {
        std::fprintf(stderr, "cplbench: a control panel is already running\n");
        return 1;
    }
    SimServer sim;
    SimServerOptions options;
    options.nameSpace = L"quillo-cplbench-" + std::to_wstring(GetCurrentProcessId());
    options.devices = DEVICES;
    if (sim.Start(options) != 0) {
        std::fprintf(stderr, "cplbench: the simulator did not start\n");
        return 1;
    }
    // The panels started here and the frame in this process find it by this name.
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, options.nameSpace.c_str());
    std::printf("cplbench: the control panel against a simulator with %zu devices%s\n\n", DEVICES,
                settings.starts < 10 ? " (quick)" : "");
    std::fflush(stdout);
    if (mixerOpenOnly) {
        PrintMixerOpen(sim, settings);
        sim.Stop();
        return 0;
    }
    PrintStartup(settings);
    std::fflush(stdout);
    PrintEvents(sim, settings);
    std::printf("\n");
    std::fflush(stdout);
    PrintMixerOpen(sim, settings);
    std::printf("\n");
    std::fflush(stdout);
    PrintMixerLoad(sim, settings);
    std::printf("\n");
    std::fflush(stdout);
    PrintMeterPaint(settings);
    sim.Stop();
    return 0;
}
