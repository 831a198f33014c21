#include "FormStaticText.h"

std::span<const WtlDialogResize::Rule> FormStaticText::ResizeRules()
{
    static constexpr WtlDialogResize::Rule rules[] = {
        {IDC_STATICTEXT_TEXT, WtlDialogResize::SizeX | WtlDialogResize::SizeY}};
    return rules;
}

LRESULT FormStaticText::OnInitForm()
{
    // Centred both ways whatever the template says (one line, vertically centred).
    HWND text = GetDlgItem(IDC_STATICTEXT_TEXT);
    WtlWindow(text).ModifyStyle(SS_TYPEMASK, SS_CENTER | SS_CENTERIMAGE);
    SetDlgItemText(IDC_STATICTEXT_TEXT, m_text.c_str());
    return 0;
}
