#pragma once

#include "WtlGdiOwners.h"

#include <windows.h>

// A memory device context with a bitmap selected into it, kept between
// paints: a control that repaints fifty times a second draws into the same
// bitmap every time instead of creating and deleting one per paint. It is
// made anew only when the size asked for changes.
class WtlMemoryBitmap
{
public:
    WtlMemoryBitmap() = default;
    WtlMemoryBitmap(const WtlMemoryBitmap&) = delete;
    WtlMemoryBitmap& operator=(const WtlMemoryBitmap&) = delete;

    // The memory DC holding a cx x cy bitmap compatible with `window`'s DC;
    // null when it cannot be made.
    HDC Prepare(HWND window, int cx, int cy);
    void Free();

    HBITMAP Bitmap() const { return m_bitmap.get(); }

private:
    // Declared before the DC so that the DC, which holds the bitmap
    // selected, goes first.
    WtlBitmap m_bitmap;
    WtlMemoryDC m_dc;
    SIZE m_size{};
};
