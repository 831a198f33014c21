#include "FormDropDownList.h"

void FormDropDownList::Reset()
{
    ::SendMessageW(m_list, CB_RESETCONTENT, 0, 0);
}

void FormDropDownList::Add(const wchar_t* text, uint32_t value)
{
    const LRESULT item = ::SendMessageW(m_list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (item >= 0) {
        ::SendMessageW(m_list, CB_SETITEMDATA, item, static_cast<LPARAM>(value));
    }
}

bool FormDropDownList::SelectText(const wchar_t* text)
{
    const LRESULT item =
        ::SendMessageW(m_list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (item < 0) {
        return false;
    }
    ::SendMessageW(m_list, CB_SETCURSEL, item, 0);
    return true;
}

bool FormDropDownList::SelectedValue(uint32_t& value) const
{
    const LRESULT item = ::SendMessageW(m_list, CB_GETCURSEL, 0, 0);
    if (item < 0) {
        return false;
    }
    value = static_cast<uint32_t>(::SendMessageW(m_list, CB_GETITEMDATA, item, 0));
    return true;
}

int FormDropDownList::Count() const
{
    return static_cast<int>(::SendMessageW(m_list, CB_GETCOUNT, 0, 0));
}

void FormDropDownList::EnableControls(HWND page, std::initializer_list<int> ids, bool enable)
{
    for (int id : ids) {
        ::EnableWindow(::GetDlgItem(page, id), enable ? TRUE : FALSE);
    }
}
