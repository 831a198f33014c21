#pragma once

#include "WtlGdiOwners.h"
#include "WtlWindow.h"

#include <string>

// A SysLink holding one link, sized to its text and painted here. The
// SysLink keeps everything else: the hand cursor, the focus, the keys and
// NM_CLICK / NM_RETURN to the parent. The painting is ours because Wine's
// SysLink clips each text run at its advance width, which cuts off the ink
// of a last glyph that reaches past it (the "e" of an address at 8 pt);
// DrawText here clips at the client edge, which FitToText leaves room for.
class WtlHyperLink : public WtlWindow
{
public:
    ~WtlHyperLink();

    // Takes over the painting of SysLink `link`; its text is the link's
    // markup, of which the text outside the tags is shown.
    bool Attach(HWND link);
    // Makes the control as wide as its text plus one average character
    // (room for an overhanging last glyph and the focus rectangle), at most
    // up to the parent's right edge. Measured with the control's own font,
    // so it holds at every DPI and font.
    void FitToText();

    const std::wstring& Text() const { return m_text; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void Paint(HDC dc);
    HFONT LinkFont();
    SIZE TextExtent();

    std::wstring m_text;
    HFONT m_fontOfLinkFont = nullptr;
    WtlFont m_linkFont;
};
