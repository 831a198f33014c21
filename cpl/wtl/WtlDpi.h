#pragma once

#include <windows.h>

// The dots per inch a window is shown at, and pixel sizes designed at 96 DPI
// scaled to it. The panel declares itself per-monitor DPI aware, so every
// fixed pixel size (splitter bar, icons, minimum sizes) must be scaled by the
// DPI of the monitor the window is on; dialog templates scale with their font
// already and need nothing.
class WtlDpi
{
public:
    static constexpr UINT BASE = 96;

    // GetDpiForWindow where user32 has it (Windows 10 1607 and later), else the
    // screen's LOGPIXELSY. A null window gives the screen's.
    static UINT ForWindow(HWND hwnd);
    // `px` designed at 96 DPI, scaled to the window's DPI, rounded to nearest.
    static int Scale(HWND hwnd, int px) { return Scale(px, ForWindow(hwnd)); }
    static int Scale(int px, UINT dpi);

private:
    static UINT ScreenDpi();
};
