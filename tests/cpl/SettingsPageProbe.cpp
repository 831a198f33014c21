#include "SettingsPageProbe.h"

#include <commctrl.h>

namespace cpl_test {

SettingsPageProbe::SettingsPageProbe()
{
    m_host.CreateHost(600, 400);
}

std::wstring SettingsPageProbe::Text(FormBase& page, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(page.GetFormWindow(), id, text, 256);
    return text;
}

std::vector<std::wstring> SettingsPageProbe::Items(FormBase& page, int id)
{
    HWND list = Control(page, id);
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

std::vector<LRESULT> SettingsPageProbe::ItemData(FormBase& page, int id)
{
    HWND list = Control(page, id);
    std::vector<LRESULT> data;
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        data.push_back(SendMessageW(list, CB_GETITEMDATA, i, 0));
    }
    return data;
}

std::wstring SettingsPageProbe::Selected(FormBase& page, int id)
{
    HWND list = Control(page, id);
    const LRESULT item = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (item < 0) {
        return L"";
    }
    wchar_t text[64] = {};
    SendMessageW(list, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
    return text;
}

bool SettingsPageProbe::Choose(FormBase& page, int id, const wchar_t* text)
{
    HWND list = Control(page, id);
    const LRESULT item =
        SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (item < 0) {
        return false;
    }
    SendMessageW(list, CB_SETCURSEL, item, 0);
    return true;
}

void SettingsPageProbe::Click(FormBase& page, int id)
{
    SendMessageW(page.GetFormWindow(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(page, id)));
}

std::vector<std::pair<std::wstring, std::wstring>> SettingsPageProbe::Rows(HWND list)
{
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    const LRESULT count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        std::wstring columns[2];
        for (int column = 0; column < 2; ++column) {
            wchar_t text[128] = {};
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 128;
            SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            columns[column] = text;
        }
        rows.emplace_back(columns[0], columns[1]);
    }
    return rows;
}

} // namespace cpl_test
