#pragma once
// A child window that shows part of a larger content: its children are
// placed in content coordinates and the pane shows the content from an
// offset, which ScrollTo changes by moving the children (the pixels already
// drawn are moved too; only what comes into view is painted). A window
// divided into panes that scroll on some axes and not on others has frozen
// panes, as a spreadsheet has.
//
// The pane passes the colour requests of its children to its parent, so a
// dialog colours its labels as if they were its own children.
#include "WtlWindowImpl.h"

class WtlScrollPane : public WtlWindowImpl
{
public:
    // Creates the (visible) pane as a child of `parent` at `rect`.
    HWND Create(HINSTANCE instance, HWND parent, RECT rect);

    // Places `child` (a child of the pane) at content point (x, y).
    void Place(HWND child, int x, int y) const;
    // Shows the content from (x, y) at the pane's top-left corner.
    void ScrollTo(int x, int y);
    POINT Offset() const { return m_offset; }

protected:
    const wchar_t* GetWindowClassName() const override { return L"QuilloScrollPane"; }
    void PrepareWindowClass(WNDCLASSEXW& wc) const override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    POINT m_offset{0, 0};
};
