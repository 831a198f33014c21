#pragma once
// Start-up of a windowed program: from just before CreateProcess to the
// moment its top-level window of a given class is visible and `ready`
// holds for it, polled from outside. The program is then closed with
// WM_CLOSE (ended by force if it does not go).
#include <windows.h>

#include <functional>
#include <string>

class BenchStartup
{
public:
    // True once `window` shows what the measurement waits for.
    using Ready = std::function<bool(HWND window)>;

    // Milliseconds to ready; false with `error` when the program did not
    // start, did not get ready within the limit or did not end.
    static bool Measure(const std::wstring& commandLine, const wchar_t* windowClass,
                        const Ready& ready, double& startMs, std::string& error);

    // The panel's ready state: its page tree (control 1002) holds the fixed
    // items and `devices` device children under "Devices".
    static bool PanelTreeFilled(HWND frame, size_t devices);
};
