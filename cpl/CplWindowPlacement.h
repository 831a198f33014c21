#pragma once

#include <windows.h>

class WtlRegistrySetting;

// The frame's position and size kept in the registry as "PosX", "PosY",
// "Width" and "Height" (REG_DWORD), always clamped so that at least a 50-pixel
// corner of the window stays on the primary screen.
class CplWindowPlacement
{
public:
    static constexpr int MIN_VISIBLE = 50;

    // Moves each edge onto the screen (cx x cy) so that 50 pixels stay
    // visible; a rectangle that is then smaller than 50 x 50 becomes the
    // 50 x 50 square at the screen's centre.
    static void ClampToScreen(RECT& rect, int cx, int cy);
    static void ClampToPrimaryScreen(RECT& rect);

    // The stored rectangle, clamped; false (rect untouched) unless all four
    // values exist as four-byte REG_DWORDs.
    static bool Read(WtlRegistrySetting& setting, RECT& rect);
    // Applies the stored rectangle to `window` without showing it; false
    // when nothing was stored.
    static bool Restore(WtlRegistrySetting& setting, HWND window);
    // Stores the window's rectangle unless the window is minimised (its
    // minimised rectangle says nothing about where the user wants it).
    // Stops at the first failing write; failures are otherwise ignored.
    static void Save(WtlRegistrySetting& setting, HWND window);
};
