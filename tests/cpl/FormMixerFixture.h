#pragma once
// The mixer window tests' fixture: one simulated device and its mixer
// window, with helpers that read the simulator and script the weight editor.
#include "DevicePageHost.h"
#include "FormMixer.h"
#include "InProcessSimTest.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "MixerValueScale.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace cpl_test {

// 10 output pins (4 analog, 2 SPDIF, 4 virtual) and 6 input pins in both input sets.
const char* const kTenBySix = "analog-in=4 analog-out=4 virtual=4";

inline std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

inline KorvelMixerPin Pin(uint8_t type, uint8_t channel)
{
    return KorvelMixerPin{type, channel, {0, 0}};
}

inline RECT ChildRect(HWND parent, HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

inline int Position(HWND control)
{
    return static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0));
}

// Moves a track bar as a drag does: the new position, then the notification.
inline void Drag(HWND form, int id, int position)
{
    HWND bar = GetDlgItem(form, id);
    SendMessageW(bar, TBM_SETPOS, TRUE, position);
    SendMessageW(form, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, position),
                 reinterpret_cast<LPARAM>(bar));
}

// Placements the tests' windows keep, away from the panel's own.
constexpr const wchar_t* TEST_PLACEMENT_ROOT = L"Software\\VANTREL\\quillo-tests\\Mixers";

// Runs a script on the weight editor once it is open on this thread, then
// presses its "Close". A thread timer does it from inside the editor's
// modal loop.
class EditorScript
{
public:
    explicit EditorScript(std::function<void(HWND)> script)
    {
        s_script = std::move(script);
        m_timer = SetTimer(nullptr, 0, 20, OnTimer);
    }
    ~EditorScript()
    {
        KillTimer(nullptr, m_timer);
        s_script = nullptr;
    }
    EditorScript(const EditorScript&) = delete;
    EditorScript& operator=(const EditorScript&) = delete;

private:
    static BOOL CALLBACK FindEditor(HWND window, LPARAM found)
    {
        if (IsWindowVisible(window) && GetDlgItem(window, IDC_WEIGHT_SLIDER) != nullptr) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND editor = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindEditor, reinterpret_cast<LPARAM>(&editor));
        if (editor == nullptr || !s_script) {
            return;
        }
        auto script = std::move(s_script);
        s_script = nullptr;
        script(editor);
        PostMessageW(editor, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(editor, IDOK)));
    }

    static inline std::function<void(HWND)> s_script;
    UINT_PTR m_timer = 0;
};

class FormMixerTest : public InProcessSimTest
{
protected:
    void TearDown() override
    {
        m_mixer.reset();
        m_host.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, TEST_PLACEMENT_ROOT);
        InProcessSimTest::TearDown();
    }

    // Plugs one device with `options`, connects and creates its (hidden) mixer window.
    void CreateMixer(const std::string& options, bool hardwareInputs)
    {
        Control("plug serial=MIX1 " + options);
        m_host = std::make_unique<DevicePageHost>();
        ASSERT_EQ(m_host->Connect(), 0u);
        ASSERT_EQ(m_host->Client().DeviceCount(), 1u);
        const KorvelDeviceKey key = Device().Info().key;
        m_mixer = std::make_unique<FormMixer>(m_host->Client(), key.word0, key.word1,
                                              hardwareInputs, TEST_PLACEMENT_ROOT);
        ASSERT_NE(m_mixer->CreateMixer(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
    }

    KorvelDevice& Device() { return *m_host->Client().DeviceAt(0); }
    HWND Window() { return *m_mixer; }
    HWND Strip(size_t column) { return m_mixer->OutputStrip(column).GetFormWindow(); }
    // The crosspoint text of output pin `column` and input pin `row`.
    std::wstring CellText(int column, int row)
    {
        return m_mixer->Crosspoints()->CellText(column, row);
    }

    // What the simulator holds now, read on the test's own device connection.
    KorvelMixerGain SimGain(uint8_t type, uint8_t channel)
    {
        KorvelMixerGain entry{Pin(type, channel), 0, 0, 0};
        EXPECT_EQ(Device().GetMixerOutputGains(&entry, 1), 0u);
        return entry;
    }
    KorvelMixerWeight SimWeight(KorvelMixerPin output, KorvelMixerPin input)
    {
        KorvelMixerWeight entry{output, input, 0, 0, 0};
        EXPECT_EQ(Device().GetMixerWeights(&entry, 1), 0u);
        return entry;
    }

    // One level timer tick, run now instead of waiting for it.
    void Tick() { SendMessageW(Window(), WM_TIMER, FormMixer::TIMER_ID, 0); }

    std::unique_ptr<DevicePageHost> m_host;
    std::unique_ptr<FormMixer> m_mixer;
};

} // namespace cpl_test
