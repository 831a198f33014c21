#pragma once

#include "WtlWindow.h"

#include <vector>

// A status bar with panes of fixed widths at the right; pane 0 takes the
// rest of the width and follows every resize.
class WtlMultiPaneStatusBar : public WtlWindow
{
public:
    ~WtlMultiPaneStatusBar();

    HWND Create(HWND parent, UINT id, const wchar_t* text);
    // `count` panes; `widths[i]` is the width of pane i in pixels, widths[0]
    // is not used (pane 0 takes the rest). False when count is out of range.
    bool SetPanes(const int* widths, int count);
    bool SetPaneText(int pane, const wchar_t* text);
    std::wstring GetPaneText(int pane) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void UpdatePanes();

    std::vector<int> m_widths;
};
