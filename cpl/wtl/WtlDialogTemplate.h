#pragma once
// Facts read from a dialog resource without creating the dialog: a window
// that lays out many instances of a template needs only its size, and a
// throwaway dialog made to measure it costs as much as a real one.
#include <windows.h>

class WtlDialogTemplate
{
public:
    // The template's size in dialog units; false when there is no such
    // dialog resource or it is too short to hold its header.
    static bool SizeInUnits(HINSTANCE instance, int id, SIZE& size);
    // The same in pixels of `dialog`'s font (MapDialogRect): the size the
    // dialog manager gives a child dialog of that font.
    static bool SizeInPixels(HINSTANCE instance, int id, HWND dialog, SIZE& size);
};
