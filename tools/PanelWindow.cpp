#include "PanelWindow.h"

namespace {

struct ChildSearch
{
    int id;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM search)
{
    auto* wanted = reinterpret_cast<ChildSearch*>(search);
    if (GetDlgCtrlID(child) == wanted->id) {
        wanted->found = child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND PanelWindow::FindChild(HWND frame, int id)
{
    ChildSearch search{id, nullptr};
    if (frame != nullptr) {
        EnumChildWindows(frame, MatchChild, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}
