#include "BenchMixerLoad.h"

#include "BenchClock.h"
#include "FormMixer.h"
#include "HostChildProcess.h"
#include "KorvelCplClient.h"
#include "KorvelIoctl.h"

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <memory>

namespace {

constexpr UINT_PTR BARE_TIMER = 1;
constexpr DWORD STREAM_WAIT_MS = 30000;

// Dispatches this thread's messages for `seconds`; the CPU time it took.
double PumpFor(double seconds)
{
    const double startCpu = ThreadCpuMs();
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return ThreadCpuMs() - startCpu;
}

// Polls the simulator's `command` until its answer holds `text`, while `child` runs.
bool WaitForAnswer(const BenchMixerLoad::Control& control, const std::string& command,
                   const std::string& text, HostChildProcess& child)
{
    const ULONGLONG end = GetTickCount64() + STREAM_WAIT_MS;
    while (GetTickCount64() < end && child.Running()) {
        if (control(command).find(text) != std::string::npos) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

// The level requests of both windows, made bare from a timer of their own.
struct BareRequests
{
    KorvelDevice* device = nullptr;
    // Output levels, then the input levels of each window's input pin set.
    std::array<std::array<KorvelMixerLevel, FormMixer::MAX_OUTPUT_PINS>, 3> levels{};
    std::array<uint32_t, 3> counts{};
    double ticks = 0;

    // The window's level entries: every pin of a pair, an odd last pin left out.
    bool Read(uint32_t set)
    {
        std::array<KorvelMixerPin, FormMixer::MAX_OUTPUT_PINS> pins{};
        uint32_t count = 0;
        const uint32_t room = set == KORVEL_MIXER_PINSET_OUTPUT ? FormMixer::MAX_OUTPUT_PINS
                                                                : FormMixer::MAX_INPUT_PINS;
        if (device->GetMixerPins(set, pins.data(), room, count) != 0) {
            return false;
        }
        counts[set] = count & ~1u;
        for (uint32_t i = 0; i < counts[set]; ++i) {
            levels[set][i] = KorvelMixerLevel{pins[i], 0, 0};
        }
        return true;
    }

    void Tick()
    {
        for (uint32_t inputSet :
             {KORVEL_MIXER_PINSET_HARDWARE_INPUT, KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT}) {
            (void)device->GetMixerOutputLevels(levels[0].data(), counts[0]);
            (void)device->GetMixerInputLevels(levels[inputSet].data(), counts[inputSet]);
        }
        ++ticks;
    }
};

BareRequests* g_bare = nullptr;

void CALLBACK OnBareTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_bare != nullptr) {
        g_bare->Tick();
    }
}

// Counts the level ticks the mixer windows take.
double g_panelTicks = 0;

LRESULT CALLBACK CountTicks(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_TIMER &&
        msg->wParam == FormMixer::TIMER_ID) {
        ++g_panelTicks;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

bool BenchMixerLoad::Measure(const Control& control, const std::wstring& serviceCommand,
                             const std::wstring& hostCommand, double seconds, Figures& figures,
                             std::string& error)
{
    HostChildProcess service;
    if (service.Start(serviceCommand, L"NUL") != 0 ||
        !WaitForAnswer(control, "dump-model", "dev.0.setup.count=1", service)) {
        error = "quillosvc.exe did not set the device up";
        return false;
    }
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    KorvelCplClient client;
    bool changed = false;
    if (client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME) != 0 || client.RefreshDevices(changed) != 0 ||
        client.DeviceCount() == 0) {
        error = "no device through the panel's connection";
        return false;
    }
    HostChildProcess host;
    if (host.Start(hostCommand, L"NUL") != 0 ||
        !WaitForAnswer(control, "dump", "state=running", host)) {
        error = "asiohost.exe did not stream";
        return false;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                 nullptr, instance, nullptr);
    const KorvelDeviceKey key = client.DeviceAt(0)->Info().key;
    auto inputs = std::make_unique<FormMixer>(client, key.word0, key.word1, true);
    auto outputs = std::make_unique<FormMixer>(client, key.word0, key.word1, false);
    if (inputs->CreateMixer(instance, owner) == nullptr ||
        outputs->CreateMixer(instance, owner) == nullptr) {
        error = "the mixer windows could not be created";
        DestroyWindow(owner);
        return false;
    }
    inputs->Show();
    outputs->Show();
    figures.seconds = seconds;
    figures.columns = static_cast<unsigned>(outputs->ColumnCount());
    figures.rows = static_cast<unsigned>(outputs->RowCount());

    (void)PumpFor(1.0); // first paints out of the measured span
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountTicks, nullptr, GetCurrentThreadId());
    g_panelTicks = 0;
    figures.panelCpuMs = PumpFor(seconds);
    figures.panelTicks = g_panelTicks;
    UnhookWindowsHookEx(hook);

    BareRequests bare;
    bare.device = client.DeviceAt(0);
    for (uint32_t set = 0; set < 3; ++set) {
        if (!bare.Read(set)) {
            error = "the mixer pins could not be read";
            return false;
        }
    }
    inputs->Close();
    outputs->Close();
    g_bare = &bare;
    const UINT_PTR timer = SetTimer(nullptr, BARE_TIMER, FormMixer::TIMER_PERIOD_MS, OnBareTimer);
    figures.bareCpuMs = PumpFor(seconds);
    KillTimer(nullptr, timer);
    g_bare = nullptr;
    figures.bareTicks = bare.ticks;

    inputs.reset();
    outputs.reset();
    DestroyWindow(owner);
    host.Terminate();
    service.Terminate();
    return true;
}
