#pragma once
// The running control panel as other programs find it from outside: its
// frame by window class and the frame's controls by id.
#include <windows.h>

class PanelWindow
{
public:
    static constexpr const wchar_t* CLASS_NAME = L"{1858C56E-18B4-4dad-A4A9-1BD177D41428}";
    static constexpr int PAGE_TREE_ID = 1002;
    static constexpr int STATUS_BAR_ID = 0xE801;
    static constexpr WPARAM ABOUT_COMMAND = 0xE140;
    static constexpr const wchar_t* ABOUT_CAPTION = L"About Quillo Control Panel";

    // The descendant of `frame` with control id `id`; null when none (or no frame).
    static HWND FindChild(HWND frame, int id);
};
