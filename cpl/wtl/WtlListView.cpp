#include "WtlListView.h"

#include <commctrl.h>

void WtlListView::SetGridStyle() const
{
    constexpr DWORD style = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
    ::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, style, style);
}

void WtlListView::InsertColumn(int index, const wchar_t* title, int format, int width) const
{
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = format;
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    if (width >= 0) {
        column.mask |= LVCF_WIDTH;
        column.cx = width;
    }
    ::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}
