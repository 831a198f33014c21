#include "WtlDataExchange.h"

#include "WtlWindow.h"

bool WtlDataExchange::Check(HWND dialog, int id, bool& value, bool save)
{
    HWND button = ::GetDlgItem(dialog, id);
    if (button == nullptr)
        return false;
    if (save)
        value = ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
    else
        ::SendMessageW(button, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
}

bool WtlDataExchange::Radio(HWND dialog, int firstId, int& value, bool save)
{
    HWND button = ::GetDlgItem(dialog, firstId);
    if (button == nullptr)
        return false;
    if (save)
        value = -1;
    int index = 0;
    do {
        if (save) {
            if (::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            ::SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
        button = ::GetWindow(button, GW_HWNDNEXT);
    } while (button != nullptr && !(WtlWindow(button).GetStyle() & WS_GROUP));
    return true;
}

bool WtlDataExchange::Text(HWND dialog, int id, std::wstring& value, bool save)
{
    WtlWindow window(dialog);
    if (window.GetDlgItem(id) == nullptr)
        return false;
    if (save)
        value = window.GetDlgItemText(id);
    else
        window.SetDlgItemText(id, value.c_str());
    return true;
}
