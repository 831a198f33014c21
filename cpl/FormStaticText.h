#pragma once

#include "FormBaseImpl.h"
#include "resource.h"

#include <string>

// A page that only shows a text, centred (the "no device" page and the
// places of pages still to come).
class FormStaticText : public FormBaseImpl<FormStaticText>
{
public:
    static constexpr int IDD = IDD_FORM_STATICTEXT;

    explicit FormStaticText(const wchar_t* text) : m_text(text != nullptr ? text : L"") {}

    static std::span<const WtlDialogResize::Rule> ResizeRules();

    const std::wstring& GetText() const { return m_text; }

    LRESULT OnInitForm() override;
    void RefreshForm() override {}

private:
    std::wstring m_text;
};
