#pragma once

#include "WtlWindowImpl.h"

// A vertical splitter: a left and a right pane with a bar between them that
// the mouse drags. The panes are sized with SetWindowPos on every layout;
// WM_NOTIFY and WM_COMMAND from the panes go on to the splitter's parent.
class WtlSplitterWindow : public WtlWindowImpl
{
public:
    static constexpr int LeftPane = 0;
    static constexpr int RightPane = 1;

    HWND Create(HINSTANCE instance, HWND parent);

    // Puts `pane` (0 left, 1 right) in place and lays out; false for a bad index.
    bool SetSplitterPane(int pane, HWND window);
    HWND GetSplitterPane(int pane) const;
    // The left pane's width in pixels, kept within the splitter's width.
    void SetSplitterPos(int position);
    int GetSplitterPos() const { return m_position; }
    int GetBarWidth() const { return m_barWidth; }
    // The window moved to a monitor of another DPI: the bar and the left
    // pane keep their size as the eye sees it.
    void ScaleForDpi(UINT oldDpi, UINT newDpi);
    void UpdateLayout();

    // Tab on the last tab stop of a pane (Shift+Tab on the first) moves the
    // focus to the first (last) tab stop of the other pane: the dialog
    // navigation of a pane that is a dialog stays inside it. True when the
    // key was used; any other key, and Tab inside a pane, are left alone.
    bool PreTranslatePaneTab(const MSG* msg);

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

protected:
    const wchar_t* GetWindowClassName() const override { return L"WtlSplitterWindow"; }
    void PrepareWindowClass(WNDCLASSEXW& wc) const override;

private:
    // The bar is at least 4 pixels at 96 DPI, and no narrower than a sizing frame.
    static int BarWidthFor(UINT dpi);
    bool IsOverBar(int x) const { return x >= m_position && x < m_position + m_barWidth; }
    int ClampPosition(int position) const;
    int PaneHolding(HWND window) const;
    bool OnSetCursor(LPARAM lParam);
    void OnMouseMove(LPARAM lParam);
    void OnLButtonDown(LPARAM lParam);

    HWND m_panes[2]{};
    int m_position = 150;
    int m_barWidth = 4;
    int m_dragOffset = 0;
    bool m_dragging = false;
};
