#pragma once

#include <windows.h>

// A report-view list control of a page, not owned: the set-up every list of
// the panel shares.
class WtlListView
{
public:
    explicit WtlListView(HWND list) : m_hWnd(list) {}

    // Full-row selection and grid lines.
    void SetGridStyle() const;
    // Column `index` with its title and alignment (LVCFMT_*); a negative
    // width leaves the width to a later layout.
    void InsertColumn(int index, const wchar_t* title, int format, int width = -1) const;

private:
    HWND m_hWnd;
};
