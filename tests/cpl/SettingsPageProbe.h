#pragma once
// What the settings page tests read from and do to a page: drop-down list
// texts and selections, clicks, list-view rows and a host window to create
// the pages in.
#include "FormBase.h"
#include "WtlTestHost.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace cpl_test {

class SettingsPageProbe
{
public:
    SettingsPageProbe();

    HWND Host() const { return m_host.m_hWnd; }
    // Creates `page` in the host; false on failure.
    template <class Page>
    bool Create(Page& page)
    {
        return page.CreateForm(TestInstance(), m_host.m_hWnd) != nullptr;
    }

    static HWND Control(FormBase& page, int id) { return GetDlgItem(page.GetFormWindow(), id); }
    static std::wstring Text(FormBase& page, int id);
    static bool Enabled(FormBase& page, int id) { return IsWindowEnabled(Control(page, id)) != FALSE; }
    // The control's own visibility: the test host is never shown.
    static bool Visible(FormBase& page, int id)
    {
        return (GetWindowLongPtrW(Control(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    // Drop-down lists: every item's text, the selected one's ("" for none),
    // choosing an item by its text as the user would.
    static std::vector<std::wstring> Items(FormBase& page, int id);
    static std::vector<LRESULT> ItemData(FormBase& page, int id);
    static std::wstring Selected(FormBase& page, int id);
    static bool Choose(FormBase& page, int id, const wchar_t* text);
    static void Click(FormBase& page, int id);

    // List views: (first column, second column) of every row.
    static std::vector<std::pair<std::wstring, std::wstring>> Rows(HWND list);

private:
    WtlTestHost m_host;
};

} // namespace cpl_test
