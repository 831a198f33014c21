// The mixer window's meters end to end: asiohost.exe streams a tone through
// brindleasio.dll into the simulator, and a mixer window in this process
// shows the levels the simulator measures.
#include "FormMixer.h"
#include "KorvelCplClient.h"
#include "KorvelIoctl.h"
#include "SystemFixture.h"

#include <commctrl.h>

#include <functional>

namespace {

constexpr DWORD LEVEL_WAIT_MS = 15000; // far beyond a stream's start on a loaded machine

// Dispatches this thread's messages (the mixer's timer among them) until
// `condition` holds; false after `timeoutMs`.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG start = GetTickCount64();
    while (!condition()) {
        if (GetTickCount64() - start > timeoutMs) {
            return false;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

class MixerWindowHost
{
public:
    ~MixerWindowHost()
    {
        mixer.reset();
        if (frame != nullptr) {
            DestroyWindow(frame);
        }
        client.CloseAll();
    }

    // The software outputs mixer of the first device, shown.
    bool Open()
    {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
        bool changed = false;
        if (client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME) != 0 ||
            client.RefreshDevices(changed) != 0 || client.DeviceCount() == 0) {
            return false;
        }
        frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        const KorvelDeviceKey key = client.DeviceAt(0)->Info().key;
        mixer = std::make_unique<FormMixer>(client, key.word0, key.word1, false);
        if (mixer->CreateMixer(GetModuleHandleW(nullptr), frame) == nullptr) {
            return false;
        }
        mixer->Show();
        return mixer->ColumnCount() > 1;
    }

    // The meter positions of output column `c` and input row `r`.
    int Output(size_t c, bool left) { return mixer->OutputStrip(c).Meter(left).GetPosition(); }
    int Input(size_t r, bool left) { return mixer->InputStrip(r).Meter(left).GetPosition(); }
    // Whether a crosspoint of column `c` with the first input row is connected.
    bool RoutedFromFirstRow(size_t c)
    {
        FormMixerCrosspoints* crosspoints = mixer->Crosspoints();
        for (int column = 2 * static_cast<int>(c); column < 2 * static_cast<int>(c) + 2; ++column) {
            for (int row = 0; crosspoints != nullptr && row < 2; ++row) {
                if (crosspoints->CellText(column, row) != L"x") {
                    return true;
                }
            }
        }
        return false;
    }

    KorvelCplClient client;
    HWND frame = nullptr;
    std::unique_ptr<FormMixer> mixer;
};

} // namespace

TEST_F(SystemFixture, AHostToneMovesTheMetersOfItsPairAndTheyFallWhenItStops)
{
    StartSimulatorAndService(1);
    MixerWindowHost ui;
    ASSERT_TRUE(ui.Open());
    EXPECT_EQ(ui.Output(0, true), 0) << "nothing streams yet";

    // A half-scale tone on playback 1/2 only, which reaches Analog Out 1/2.
    auto host =
        StartHost(L"stream", L"--seconds 4 --rate 48000 --frames 256 --channels o0,o1 --tone 1000");
    ASSERT_NE(host, nullptr);
    EXPECT_TRUE(PumpUntil(
        [&] {
            return ui.Output(0, true) > 3000 && ui.Output(0, false) > 3000 &&
                   ui.Input(0, true) > 3000;
        },
        LEVEL_WAIT_MS))
        << "Analog Out 1/2 " << ui.Output(0, true) << "/" << ui.Output(0, false) << ", Out 1/2 "
        << ui.Input(0, true);
    // Every other column moves exactly when playback 1/2 reaches it (the
    // service routes it to more than Analog Out 1/2).
    for (size_t c = 1; c < ui.mixer->ColumnCount(); ++c) {
        const bool routed = ui.RoutedFromFirstRow(c);
        const int sum = ui.Output(c, true) + ui.Output(c, false);
        EXPECT_EQ(sum > 0, routed) << "column " << c << ": meters " << sum;
    }
    EXPECT_EQ(ui.Input(1, true), 0) << "playback 3/4 is silent";

    // The host ends its stream: the meters fall to the floor within a few ticks.
    ASSERT_EQ(host->Wait(LEVEL_WAIT_MS), 0u);
    EXPECT_TRUE(PumpUntil([&] { return ui.Output(0, true) == 0 && ui.Input(0, true) == 0; }, 2000))
        << "Analog Out 1/2 stayed at " << ui.Output(0, true);
}
