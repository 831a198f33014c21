#pragma once

#include "WtlWindow.h"

// A rebar control ("ReBarWindow32") at the top of a frame.
class WtlReBar : public WtlWindow
{
public:
    HWND Create(HWND parent, UINT id);
    // Appends a band holding `child` (the band takes the child's size); false on failure.
    bool AddBand(HWND child);
};
