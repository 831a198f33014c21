#pragma once
// A drop-down list of a page whose items carry a 32-bit value: filled,
// searched by text and read back by the selected item's value.
#include <windows.h>

#include <cstdint>
#include <initializer_list>

class FormDropDownList
{
public:
    explicit FormDropDownList(HWND list = nullptr) : m_list(list) {}

    void Reset();
    void Add(const wchar_t* text, uint32_t value);
    // Selects the item whose text equals `text` exactly; when none does the
    // selection stays as it was and the result is false.
    bool SelectText(const wchar_t* text);
    // The selected item's value; false when nothing is selected.
    bool SelectedValue(uint32_t& value) const;
    int Count() const;

    // Enables or disables the controls `ids` of `page`.
    static void EnableControls(HWND page, std::initializer_list<int> ids, bool enable);

private:
    HWND m_list;
};
